/* The baseline for sdofspec's end-to-end benchmark: the same exact recurrence as a plain C
 * loop, one period at a time, no vectors, no threads. Reads a record in sdofresp's layout (a
 * header line, then time and three accelerations in gal per line) and prints Sd, Sv, Sa,
 * PSv, PSa at the 111 periods of the NGA-West2 flatfile, 5% damping.
 * Usage: plain_spectrum RECORD */
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static const double periods[] = {
    0.01,  0.02, 0.022, 0.025, 0.029, 0.03,  0.032, 0.035, 0.036, 0.04,  0.042, 0.044, 0.045, 0.046,
    0.048, 0.05, 0.055, 0.06,  0.065, 0.067, 0.07,  0.075, 0.08,  0.085, 0.09,  0.095, 0.1,   0.11,
    0.12,  0.13, 0.133, 0.14,  0.15,  0.16,  0.17,  0.18,  0.19,  0.2,   0.22,  0.24,  0.25,  0.26,
    0.28,  0.29, 0.3,   0.32,  0.34,  0.35,  0.36,  0.38,  0.4,   0.42,  0.44,  0.45,  0.46,  0.48,
    0.5,   0.55, 0.6,   0.65,  0.667, 0.7,   0.75,  0.8,   0.85,  0.9,   0.95,  1,     1.1,   1.2,
    1.3,   1.4,  1.5,   1.6,   1.7,   1.8,   1.9,   2,     2.2,   2.4,   2.5,   2.6,   2.8,   3,
    3.2,   3.4,  3.5,   3.6,   3.8,   4,     4.2,   4.4,   4.6,   4.8,   5,     5.5,   6,     6.5,
    7,     7.5,  8,     8.5,   9,     9.5,   10,    11,    12,    13,    14,    15,    20};

int main(int argc, char** argv) {
  FILE* f = argc > 1 ? fopen(argv[1], "r") : NULL;
  if (!f) return 1;
  char line[512];
  if (!fgets(line, sizeof line, f)) return 1;
  size_t n = 0, capacity = 1024;
  double *t = malloc(capacity * sizeof *t), *a[3];
  for (int k = 0; k < 3; ++k) a[k] = malloc(capacity * sizeof(double));
  while (fgets(line, sizeof line, f)) {
    if (n == capacity) {
      capacity *= 2;
      t = realloc(t, capacity * sizeof *t);
      for (int k = 0; k < 3; ++k) a[k] = realloc(a[k], capacity * sizeof(double));
    }
    if (sscanf(line, "%lf,%lf,%lf,%lf", &t[n], &a[0][n], &a[1][n], &a[2][n]) == 4) ++n;
  }
  fclose(f);
  const double dt = t[1] - t[0], h = 0.05, g = 980.665;
  printf("component,period_s,sd_cm,sv_cm_s,sa_g,psv_cm_s,psa_g\n");
  for (int k = 0; k < 3; ++k) {
    for (size_t p = 0; p < sizeof periods / sizeof periods[0]; ++p) {
      const double T = periods[p], w = 2 * M_PI / T;
      const int substeps = T < 10 * dt ? (int)(10 * dt / T - 0.01) + 1 : 1;
      const double s = dt / substeps;
      const double w2 = w * w, hw = h * w, wd = w * sqrt(1.0 - h * h), wdt = wd * s;
      const double e = exp(-(hw * s)), cwdt = cos(wdt), swdt = sin(wdt);
      const double a11 = e * (hw * swdt / wd + cwdt), a12 = e * swdt / wd;
      const double a21 = -(e * w2 * swdt / wd), a22 = e * (cwdt - hw * swdt / wd);
      const double ss = -(hw * swdt) - wd * cwdt, cc = -(hw * cwdt) + wd * swdt;
      const double s1 = (e * ss + wd) / w2, c1 = (e * cc + hw) / w2;
      const double s2 = (e * s * ss + hw * s1 + wd * c1) / w2;
      const double c2 = (e * s * cc + hw * c1 - wd * s1) / w2;
      const double s3 = s * s1 - s2, c3 = s * c1 - c2;
      const double b11 = -(s2 / wdt), b12 = -(s3 / wdt);
      const double b21 = (hw * s2 - wd * c2) / wdt, b22 = (hw * s3 - wd * c3) / wdt;
      double x = 0, dx = 0, sd = 0, sv = 0, sa = 0;
      for (size_t m = 1; m < n; ++m) {
        for (int j = 1; j <= substeps; ++j) {
          const double f0 = a[k][m - 1], f1 = a[k][m];
          const double af = j == 1 ? f0 : f0 + (f1 - f0) * ((double)(j - 1) / substeps);
          const double am = j == substeps ? f1 : f0 + (f1 - f0) * ((double)j / substeps);
          const double xn = a12 * dx + a11 * x + b12 * am + b11 * af;
          const double dxn = a22 * dx + a21 * x + b22 * am + b21 * af;
          x = xn;
          dx = dxn;
          const double acc = fabs(-((hw + hw) * dx) - w2 * x);
          if (fabs(x) > sd) sd = fabs(x);
          if (fabs(dx) > sv) sv = fabs(dx);
          if (acc > sa) sa = acc;
        }
      }
      printf("%d,%g,%.17g,%.17g,%.17g,%.17g,%.17g\n", k + 1, T, sd, sv, sa / g, w * sd,
             w * w * sd / g);
    }
  }
  return 0;
}

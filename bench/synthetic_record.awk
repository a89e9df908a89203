# A synthetic three-component record in sdofresp's layout, in gal: white noise through a
# Kanai-Tajimi filter (ground at 2.5 Hz, damping 0.6) under an envelope that peaks at `peak`
# seconds, 0.005 s between samples; the vertical at half the size.
# Usage: awk -v samples=N -v seed=S -v peak=T -v noise=A -f bench/synthetic_record.awk
BEGIN {
  print "Time(s),H1(gal),H2(gal),UP(gal)"
  srand(seed); w = 2 * 3.14159265 * 2.5; dt = 0.005
  for (k = 0; k < 3; k++) { x[k] = 0; v[k] = 0 }
  for (i = 0; i < samples; i++) {
    t = i * dt; e = (t / peak) ^ 2 * exp(2 * (1 - t / peak)); line = sprintf("%.3f", t)
    for (k = 0; k < 3; k++) {
      acc = -2 * 0.6 * w * v[k] - w * w * x[k] - (rand() - 0.5) * noise
      v[k] += acc * dt; x[k] += v[k] * dt
      line = line sprintf(",%.4f", e * (-2 * 0.6 * w * v[k] - w * w * x[k]) * (k == 2 ? 0.5 : 1))
    }
    print line
  }
}

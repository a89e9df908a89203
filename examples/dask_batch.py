#!/usr/bin/env python3
"""sdofspec's batch on a Dask cluster: the record files split into chunks of whole jobs (a
file, or the files of a horizontal pair), each chunk one sdof.batch call on a worker, the
tables joined in the order of the list and written as sdofspec writes them, byte for byte.

On one machine, with two worker processes:
    python3 examples/dask_batch.py --local 2 --rotd --ims ims.csv -o spectra.csv @records.list
On a cluster (a scheduler, and `dask worker ADDRESS` on each machine; the paths must name the
same files on every machine):
    python3 examples/dask_batch.py --scheduler tcp://head:8786 -o spectra.csv @records.list
Under Slurm, with the scheduler's address in a shared file:
    python3 examples/dask_batch.py --scheduler-file scheduler.json -o spectra.csv @records.list
"""

import argparse
import sys

import sdof


def chunks(jobs, size):
    """The files of `size` jobs at a time, in order."""
    for start in range(0, len(jobs), size):
        yield [f for job in jobs[start:start + size] for f in job]


def client_for(args):
    from dask.distributed import Client, LocalCluster

    if args.local:
        # One thread per worker: sdof.batch has its own (--jobs).
        cluster = LocalCluster(n_workers=args.local, threads_per_worker=1,
                               dashboard_address=None)
        return Client(cluster)
    if args.scheduler_file:
        return Client(scheduler_file=args.scheduler_file)
    return Client(args.scheduler)


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0],
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("records", nargs="+", help="record files; @FILE is a list of them")
    where = parser.add_mutually_exclusive_group(required=True)
    where.add_argument("--local", type=int, metavar="WORKERS",
                       help="a cluster of this many worker processes on this machine")
    where.add_argument("--scheduler", metavar="ADDRESS", help="the scheduler's address")
    where.add_argument("--scheduler-file", metavar="FILE",
                       help="the file `dask scheduler --scheduler-file` wrote")
    parser.add_argument("--chunk", type=int, default=50, metavar="N",
                        help="jobs (records or pairs) per task (default 50)")
    parser.add_argument("-o", "--output", required=True, metavar="FILE",
                        help="the spectra table")
    parser.add_argument("--ims", metavar="FILE", help="the intensity-measure table")
    parser.add_argument("--periods", default="nga-west2", metavar="GRID")
    parser.add_argument("--damping", default="0.05", metavar="LIST")
    parser.add_argument("--rotd", action="store_true")
    parser.add_argument("--energy", action="store_true")
    parser.add_argument("--units", metavar="UNIT")
    parser.add_argument("--format", metavar="NAME")
    parser.add_argument("--jobs", type=int, default=1, metavar="N",
                        help="threads of each task (default 1: one task per worker thread)")
    args = parser.parse_args(argv)

    options = dict(periods=args.periods, damping=args.damping, rotd=args.rotd,
                   energy=args.energy, intensity_measures=args.ims is not None,
                   units=args.units, format=args.format, jobs=args.jobs, errors="keep")
    jobs = sdof.batch_jobs(args.records, rotd=args.rotd)
    client = client_for(args)
    try:
        futures = [client.submit(sdof.batch, files, pure=False, **options)
                   for files in chunks(jobs, args.chunk)]
        table = sdof.concat(client.gather(futures))  # in the order submitted
    finally:
        client.close()

    table.to_csv(args.output)
    if args.ims:
        table.intensity.to_csv(args.ims)
    for words in table.warnings:
        print(f"dask_batch: warning: {words}", file=sys.stderr)
    for words in table.failures:
        print(f"dask_batch: {words}", file=sys.stderr)
    return 1 if table.failures else 0


if __name__ == "__main__":
    sys.exit(main())

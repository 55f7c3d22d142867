#!/usr/bin/python3
"""dorvanta-admin's export-csv and backup on a large journal, beside sqlite3 doing the same work.

    bench/tools-stream/run.py build/tools/dorvanta-admin/dorvanta-admin \\
        build/bench/journal-fill/journal-fill [COUNT] [--runs N]

journal-fill makes a journal of COUNT records (1,000,000 unless given) in a temporary data
directory (or in DIR, on the first run, reused after). Then, each the best of N runs (3 unless given):
- export-csv --output FILE, in the plain and in the Serbian form (--sr), each against
  `sqlite3 -csv` of the same join of the journal and its numbers, with the peak memory
  (resident set) of export-csv;
- backup against `sqlite3 .backup` of the journal plus `PRAGMA quick_check` of the copy.
Prints the times, the ratios and the peak, and exits 1 when a ratio or the peak is over its
bound (export-csv 1.0x and 50 MB, backup 3x)."""
import argparse
import os
import resource
import shutil
import subprocess
import sys
import tempfile
import time

JOIN = ("SELECT d.BROJ, p.DATUM, p.VREME, p.KORISNIK, p.GRUPA, p.OPIS, p.ULAZDIN, p.IZLAZDIN, "
        "p.ULAZEUR, p.IZLAZEUR, p.STANJEDIN, p.STANJEEUR FROM promet p "
        "LEFT JOIN dorvanta_dokument d ON d.ID = p.rowid ORDER BY p.rowid")


def timed(args, stdout=subprocess.DEVNULL):
    """Wall time in seconds and peak resident set in MB of one run of `args`."""
    start = time.monotonic()
    child = subprocess.Popen(args, stdout=stdout, stderr=subprocess.PIPE)
    _, status, usage = os.wait4(child.pid, 0)
    elapsed = time.monotonic() - start
    child.returncode = os.waitstatus_to_exitcode(status)
    if child.returncode != 0:
        sys.exit('%s failed: %s' % (args[0], child.stderr.read().decode()))
    return elapsed, usage.ru_maxrss / 1024.0


def best(runs, work):
    results = [work() for _ in range(runs)]
    return min(r[0] for r in results), max(r[1] for r in results)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('admin')
    parser.add_argument('fill')
    parser.add_argument('count', nargs='?', type=int, default=1000000)
    parser.add_argument('--runs', type=int, default=3)
    parser.add_argument('--dir', help='a data directory to fill on the first run and reuse after')
    a = parser.parse_args()
    with tempfile.TemporaryDirectory() as scratch:
        tmp = a.dir or scratch
        if not os.path.exists(os.path.join(tmp, 'podaci', 'promet.db')):
            start = time.monotonic()
            subprocess.run([a.fill, tmp, str(a.count)], check=True, capture_output=True)
            print('journal-fill %d records: %.1f s' % (a.count, time.monotonic() - start))
        data = os.path.join(tmp, 'podaci')
        journal = os.path.join(data, 'promet.db')
        print('journal: %.0f MB' % (os.path.getsize(journal) / 1e6))
        # The journal's cash book is made ready once, so that neither side below does it.
        subprocess.run([a.admin, '--dir', tmp, 'export-csv', '--output', os.path.join(tmp, 'warm.csv')],
                       capture_output=True)
        csv_out = os.path.join(tmp, 'out.csv')

        def export(*form):
            return lambda: timed([a.admin, '--dir', tmp, 'export-csv', '--output', csv_out, *form])

        def sqlite_csv():
            with open(os.path.join(tmp, 'sqlite.csv'), 'wb') as out:
                return timed(['sqlite3', '-csv', '-header', journal, JOIN], stdout=out)

        def backup():
            for name in os.listdir(data):
                if name.startswith('bck-'):
                    os.remove(os.path.join(data, name))
            return timed([a.admin, '--dir', tmp, 'backup'])

        def sqlite_backup():
            copy = os.path.join(tmp, 'copy.db')
            if os.path.exists(copy):
                os.remove(copy)
            t1, m1 = timed(['sqlite3', journal, '.backup ' + copy])
            t2, m2 = timed(['sqlite3', copy, 'PRAGMA quick_check'])
            return t1 + t2, max(m1, m2)

        rows = []
        s, _ = best(a.runs, sqlite_csv)
        e, peak = best(a.runs, export())
        rows.append(('export-csv', e, 'sqlite3 -csv', s, e / s, 1.0))
        e, serbian_peak = best(a.runs, export('--sr'))
        rows.append(('--sr', e, 'sqlite3 -csv', s, e / s, 1.0))
        peak = max(peak, serbian_peak)
        b, _ = best(a.runs, backup)
        q, _ = best(a.runs, sqlite_backup)
        rows.append(('backup', b, 'sqlite3 .backup + quick_check', q, b / q, 3.0))
        ok = True
        for name, t, other, o, ratio, bound in rows:
            print('%-10s %6.2f s   %-30s %6.2f s   ratio %.2f (at most %.1f)' %
                  (name, t, other, o, ratio, bound))
            ok = ok and ratio <= bound
        print('export-csv peak memory: %.0f MB (under 50)' % peak)
        ok = ok and peak < 50
        return 0 if ok else 1


if __name__ == '__main__':
    sys.exit(main())

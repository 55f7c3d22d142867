#!/usr/bin/python3
"""dorvanta-admin on a data directory made by journal-fill: the CSV read back by the csv module
has the journal's sums and its gapless numbers; the exit status of refused and wrong command
lines (journal-fill's too); a closed day is closed once."""
import csv
import hashlib
import io
import os
import re
import resource
import shutil
import socket
import sqlite3
import subprocess
import sys
import tempfile
import time
import unittest

ADMIN, FILL = sys.argv[1], sys.argv[2]
HEADER = ['BROJ', 'DATUM', 'VREME', 'KORISNIK', 'GRUPA', 'OPIS', 'ULAZDIN', 'IZLAZDIN',
          'ULAZEUR', 'IZLAZEUR', 'STANJEDIN', 'STANJEEUR', 'KURS', 'PROTIVVREDNOST']
AMOUNTS = HEADER[6:10]
# An FTP server for the off-site copies: pyftpdlib, user "kasa" (password "tajna") at home in
# argv[1]; it prints its port.
FTP_SERVER = r"""
import logging, sys
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer
logging.disable(logging.CRITICAL)
authorizer = DummyAuthorizer()
authorizer.add_user('kasa', 'tajna', sys.argv[1], perm='elradfmwMT')
FTPHandler.authorizer = authorizer
server = FTPServer(('127.0.0.1', 0), FTPHandler)
print(server.socket.getsockname()[1], flush=True)
server.serve_forever()
"""


def cents(text):
    whole, _, frac = text.lstrip('-').partition('.')
    value = int(whole) * 100 + int(frac)
    return -value if text.startswith('-') else value


class AdminTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        cls.dir = cls.tmp.name
        subprocess.run([FILL, cls.dir, '3000'], check=True, capture_output=True)
        db = sqlite3.connect(os.path.join(cls.dir, 'podaci', 'promet.db'))
        # A description the CSV must quote.
        db.execute("UPDATE promet SET OPIS = 'Racun, \"hitno\"' || char(13) || char(10) || 'x' "
                   "WHERE rowid = 7")
        db.commit()
        db.close()

    def admin(self, *args):
        return subprocess.run([ADMIN, '--dir', self.dir, *args], capture_output=True)

    def journal(self, sql):
        db = sqlite3.connect(os.path.join(self.dir, 'podaci', 'promet.db'))
        try:
            return db.execute(sql).fetchall()
        finally:
            db.close()

    def rows(self, *args):
        run = self.admin('export-csv', *args)
        self.assertEqual(run.returncode, 0, run.stderr)
        text = run.stdout.decode('utf-8')
        reader = list(csv.reader(io.StringIO(text, newline='')))
        self.assertEqual(reader[0], HEADER)
        return [dict(zip(HEADER, r)) for r in reader[1:]]

    def test_csv_has_the_journals_records_sums_and_gapless_numbers(self):
        cases = [
            ((), ''),
            (('--from', '2022-03-01', '--to', '2023-06-30'),
             "WHERE DATUM BETWEEN '2022-03-01' AND '2023-06-30'"),
        ]
        for args, where in cases:
            with self.subTest(args=args):
                rows = self.rows(*args)
                expected = self.journal('SELECT COUNT(*), ' + ', '.join(
                    'COALESCE(SUM(%s), 0)' % a for a in AMOUNTS) + ' FROM promet ' + where)[0]
                self.assertEqual(len(rows), expected[0])
                self.assertEqual([sum(cents(r[a]) for r in rows) for a in AMOUNTS],
                                 list(expected[1:]))
                self.assertTrue(all(r['DATUM'][4] == '-' for r in rows))
        rows = self.rows()
        last = {}
        for r in rows:
            kind, year, number = r['BROJ'].split('-')
            self.assertEqual(year, r['DATUM'][:4])
            self.assertEqual(kind, 'U' if cents(r['ULAZDIN']) or cents(r['ULAZEUR']) else 'I')
            self.assertEqual(int(number), last.get((kind, year), 0) + 1, r['BROJ'])
            last[(kind, year)] = int(number)
        self.assertEqual(rows[6]['OPIS'], 'Racun, "hitno"\r\nx')

    def test_output_file_and_exit_status(self):
        out = os.path.join(self.dir, 'izvoz.csv')
        cases = [
            (('export-csv', '--output', out), 0),
            (('export-csv', '--output', os.path.join(self.dir, 'nema', 'x.csv')), 1),
            (('export-csv', '--from', '2026-13-01'), 2),
            (('export-csv', '--date', '2026-01-01'), 2),
            (('close-day', '--date', '2026-01-01'), 2),
            (('close-day', '--date', '2026-01-01', '--admin-code', 'pogresna'), 1),
            (('nepoznata',), 2),
            ((), 2),
        ]
        for args, status in cases:
            with self.subTest(args=args):
                run = self.admin(*args)
                self.assertEqual(run.returncode, status, run.stderr)
                self.assertEqual(bool(run.stderr), status != 0)
        with open(out, newline='', encoding='utf-8') as f:
            self.assertEqual(len(list(csv.reader(f))), 1 + len(self.rows()))
        self.assertEqual(self.journal("SELECT COUNT(*) FROM dorvanta_zakljucak WHERE DATUM = '2026-01-01'"), [(0,)])

    def test_journal_fill_refuses_a_wrong_command_line_and_makes_nothing(self):
        for args in (('d', '--cashiers', '99900'), ()):
            with self.subTest(args=args), tempfile.TemporaryDirectory() as cwd:
                run = subprocess.run([FILL, *args], capture_output=True, cwd=cwd)
                self.assertEqual(run.returncode, 2)
                self.assertIn(b'usage:', run.stderr)
                self.assertEqual(os.listdir(cwd), [])

    def test_a_day_is_closed_once_with_its_figures(self):
        run = self.admin('close-day', '--date', '2024-05-06', '--admin-code', '12345')
        self.assertEqual(run.returncode, 0, run.stderr)
        again = self.admin('close-day', '--date', '2024-05-06', '--admin-code', '12345')
        self.assertEqual(again.returncode, 1)
        self.assertIn(b'vec zakljucen', again.stderr)
        closing = self.journal("SELECT STANJEDIN, STANJEEUR FROM dorvanta_zakljucak")
        expected = self.journal("SELECT SUM(ULAZDIN) - SUM(IZLAZDIN), SUM(ULAZEUR) - SUM(IZLAZEUR) "
                                "FROM promet WHERE DATUM <= '2024-05-06'")
        self.assertEqual(closing, expected)


    def words(self, pdf):
        html = subprocess.run(['pdftotext', '-bbox', pdf, '-'], check=True,
                              capture_output=True).stdout.decode('utf-8')
        mm = 25.4 / 72
        return [(m.group(5), float(m.group(1)) * mm, float(m.group(2)) * mm,
                 float(m.group(3)) * mm)
                for m in re.finditer(r'<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" '
                                     r'yMax="([\d.]+)">([^<]*)</word>', html)]

    def money(self, cents_value):
        sign = '-' if cents_value < 0 else ''
        return '%s%d.%02d' % (sign, abs(cents_value) // 100, abs(cents_value) % 100)

    def test_day_report_has_the_journals_figures_where_the_layout_puts_them(self):
        day = '2023-02-14'
        sums = lambda where: self.journal(
            "SELECT COALESCE(SUM(ULAZDIN), 0) - COALESCE(SUM(IZLAZDIN), 0), "
            "COALESCE(SUM(ULAZEUR), 0) - COALESCE(SUM(IZLAZEUR), 0) FROM promet WHERE " + where)[0]
        opening = sums("DATUM < '%s'" % day)
        closing = sums("DATUM <= '%s'" % day)
        numbers = [r['BROJ'] for r in self.rows('--from', day, '--to', day)]
        self.assertTrue(numbers)
        cases = [
            ((), 'NIJE', True, True),
            (('--currency', 'EUR'), 'NIJE', False, True),
            (('--currency', 'DIN'), 'NIJE', True, False),
        ]
        pdf = os.path.join(self.dir, 'dan.pdf')
        for args, state, dinars, euros in cases:
            with self.subTest(args=args):
                run = self.admin('day-report', '--date', day, '--pdf', pdf, *args)
                self.assertEqual(run.returncode, 0, run.stderr)
                words = self.words(pdf)
                texts = [w[0] for w in words]
                self.assertIn(state, texts)
                self.assertIn('PRETHODNO', texts)
                self.assertEqual('DINARI' in texts, dinars)
                self.assertEqual('EUR' in texts, euros)
                for currency, shown in ((0, dinars), (1, euros)):
                    if not shown:
                        continue
                    # Opening and closing balances stand on the column's right edge.
                    right = 12.7 + (155.3 if currency == 0 else 188.4)
                    for value in (opening[currency], closing[currency]):
                        at = [w for w in words if w[0] == self.money(value)]
                        self.assertTrue(at, self.money(value))
                        self.assertTrue(any(abs(w[3] - right) < 0.5 for w in at),
                                        (self.money(value), [w[3] for w in at]))
                if dinars and euros:
                    self.assertEqual([t for t in texts if t[:2] in ('U-', 'I-')], numbers)
        close = self.admin('close-day', '--date', day, '--admin-code', '12345')
        self.assertEqual(close.returncode, 0, close.stderr)
        self.assertEqual(self.admin('day-report', '--date', day, '--pdf', pdf).returncode, 0)
        texts = [w[0] for w in self.words(pdf)]
        self.assertNotIn('NIJE', texts)
        self.assertIn('br.', texts)

    def test_serbian_csv_has_the_plain_rows_with_semicolons_decimal_commas_and_dotted_dates(self):
        plain = self.rows('--from', '2022-03-01', '--to', '2022-06-30')
        run = self.admin('export-csv', '--sr', '--from', '2022-03-01', '--to', '2022-06-30')
        self.assertEqual(run.returncode, 0, run.stderr)
        self.assertTrue(run.stdout.startswith(b'\xef\xbb\xbf'))
        self.assertNotIn(b'\n', run.stdout.replace(b'\r\n', b''))
        reader = list(csv.reader(io.StringIO(run.stdout.decode('utf-8-sig'), newline=''),
                                 delimiter=';'))
        self.assertEqual(reader[0], HEADER)
        self.assertEqual(len(reader) - 1, len(plain))
        for row, want in zip(reader[1:], plain):
            got = dict(zip(HEADER, row))
            day, month, year = got['DATUM'].split('.')
            self.assertEqual('%s-%s-%s' % (year, month, day), want['DATUM'])
            for field in HEADER[6:12]:
                self.assertRegex(got[field], r'^-?\d+,\d\d$')
                self.assertEqual(got[field].replace(',', '.'), want[field])
            for field in HEADER[12:]:  # the euro rate and dinar value, when there are euros
                self.assertEqual(got[field].replace(',', '.'), want[field])
            for field in ('BROJ', 'VREME', 'KORISNIK', 'GRUPA', 'OPIS'):
                self.assertEqual(got[field], want[field])
        self.assertEqual(self.admin('export-csv', '--sr', 'x').returncode, 2)

    def test_firm_and_paper_are_set_with_the_admin_code_and_head_every_printout(self):
        with tempfile.TemporaryDirectory() as tmp:
            shop = os.path.join(tmp, 'radnja')
            shutil.copytree(self.dir, shop)
            admin = lambda *args: subprocess.run([ADMIN, '--dir', shop, *args], capture_output=True)
            log = lambda: sqlite3.connect(os.path.join(shop, 'podaci', 'promet.db')).execute(
                "SELECT COUNT(*) FROM dorvanta_dnevnik WHERE RADNJA = 'POSTAVKE'").fetchone()[0]
            logged = log()
            refused = [
                (('--pib', '136695977', '--admin-code', '12345'), 1, 'kontrolna cifra'),
                (('--pib', '13669597', '--admin-code', '12345'), 1, '9 cifara'),
                (('--mb', '1234567', '--admin-code', '12345'), 1, '8 cifara'),
                (('--firm', 'X', '--admin-code', '1'), 1, 'admin code'),
                (('--firm', 'X'), 2, 'admin-code'),
                (('--paper', 'A5', '--admin-code', '12345'), 2, 'A4 or Letter'),
            ]
            for args, status, reason in refused:
                with self.subTest(args=args):
                    run = admin('settings', *args)
                    self.assertEqual(run.returncode, status, run.stderr)
                    self.assertIn(reason, run.stderr.decode())
            self.assertEqual(log(), logged)
            run = admin('settings', '--firm', 'Radnja Primer d.o.o.', '--address',
                        'Knez Mihailova 1, Beograd', '--pib', '136695976', '--mb', '12345678',
                        '--paper', 'A4', '--admin-code', '12345')
            self.assertEqual(run.returncode, 0, run.stderr)
            self.assertIn('Papir: A4', run.stdout.decode())
            self.assertEqual(log(), logged + 1)
            number = self.rows('--from', '2023-02-14', '--to', '2023-02-14')[0]['BROJ']
            pdf = os.path.join(tmp, 'p.pdf')
            for args in (('day-report', '--date', '2023-02-14'), ('voucher', number),
                         ('month-report', '--month', '2023-02'), ('month-report', '--year', '2023')):
                with self.subTest(args=args):
                    run = admin(*args, '--pdf', pdf)
                    self.assertEqual(run.returncode, 0, run.stderr)
                    html = subprocess.run(['pdftotext', '-bbox', pdf, '-'], check=True,
                                          capture_output=True).stdout.decode()
                    pages = re.findall(r'<page width="([\d.]+)" height="([\d.]+)"', html)
                    self.assertTrue(pages)
                    for width, height in pages:
                        self.assertAlmostEqual(float(width), 595.3, delta=0.5)
                        self.assertAlmostEqual(float(height), 841.9, delta=0.5)
                    texts = [w[0] for w in self.words(pdf)]
                    self.assertEqual(texts.count('Radnja'), len(pages))
                    self.assertEqual(texts.count('136695976'), len(pages))
                    self.assertEqual(texts.count('12345678'), len(pages))

    def test_month_report_rows_have_the_day_reports_balances(self):
        sums = lambda where: self.journal(
            "SELECT COALESCE(SUM(ULAZDIN), 0) - COALESCE(SUM(IZLAZDIN), 0), "
            "COALESCE(SUM(ULAZEUR), 0) - COALESCE(SUM(IZLAZEUR), 0) FROM promet WHERE " + where)[0]
        pdf = os.path.join(self.dir, 'mesec.pdf')
        run = self.admin('month-report', '--month', '2023-02', '--pdf', pdf)
        self.assertEqual(run.returncode, 0, run.stderr)
        texts = [w[0] for w in self.words(pdf)]
        self.assertIn('MESECNI', texts)
        for day in ('2023-02-01', '2023-02-14', '2023-02-28'):
            label = '%s/%s/%s' % (day[8:], day[5:7], day[:4])
            self.assertIn(label, texts)
            for value in sums("DATUM <= '%s'" % day):
                self.assertIn(self.money(value), texts)
        for value in sums("DATUM < '2023-02-01'"):
            self.assertIn(self.money(value), texts)
        run = self.admin('month-report', '--year', '2023', '--pdf', pdf)
        self.assertEqual(run.returncode, 0, run.stderr)
        texts = [w[0] for w in self.words(pdf)]
        self.assertIn('GODISNJI', texts)
        for value in sums("DATUM <= '2023-12-31'") + sums("DATUM <= '2023-06-30'"):
            self.assertIn(self.money(value), texts)
        for args in (('--month', '2023-13'), ('--month', '2023-2'), ('--year', '23'),
                     ('--month', '2023-02', '--year', '2023'), ('--month', '2023-02',)):
            with self.subTest(args=args):
                more = ('--pdf', pdf) if args[-1] != '2023-02' else ()
                self.assertEqual(self.admin('month-report', *args, *more).returncode, 2)

    def test_a_document_is_reversed_once_and_the_export_follows(self):
        number = self.rows()[-1]['BROJ']
        export = os.path.join(self.dir, 'podaci.txt')
        cases = [
            (('reverse', number, '--admin-code', 'pogresna'), 1, b'not right', False),
            (('reverse', '--admin-code', '12345'), 2, b'NUMBER', False),
            (('reverse', number, '--admin-code', '12345'), 0, b'', True),
            (('reverse', number, '--admin-code', '12345'), 1, b'vec storniran', False),
        ]
        for args, status, said, exported in cases:
            with self.subTest(args=args):
                if os.path.exists(export):
                    os.remove(export)
                run = self.admin(*args)
                self.assertEqual(run.returncode, status, run.stderr)
                self.assertIn(said, run.stderr)
                self.assertEqual(os.path.exists(export), exported)
                if exported:
                    with open(export, 'rb') as f:
                        lines = f.read().split(b'\r\n')
                    count = self.journal('SELECT COUNT(*) FROM promet')[0][0]
                    self.assertEqual(len(lines), 6 + count + 1)  # the empty rest after the last
                    self.assertIn(b'STORNO ' + number.encode(), lines[-2])
        last = self.rows()[-1]
        self.assertTrue(last['OPIS'].startswith('STORNO %s: ' % number), last)

    def test_backup_keeps_the_newest_by_the_time_in_their_names(self):
        data = os.path.join(self.dir, 'podaci')
        journal = os.path.join(data, 'promet.db')
        for name in os.listdir(data):  # the backups the closes of the other tests left
            if name.startswith('bck-'):
                os.remove(os.path.join(data, name))
        # Name order is not time order: 05-06-25 is newer than 31-12-24.
        for name in ('bck-01-01-20-10-00-00.db', 'bck-05-06-25-08-00-00.db',
                     'bck-31-12-24-23-59-59.db'):
            shutil.copy(journal, os.path.join(data, name))
        open(os.path.join(data, 'bck-rucno.db'), 'w').close()
        self.assertEqual(self.admin('backup', '--keep', '0').returncode, 2)
        run = self.admin('backup', '--keep', '2')
        self.assertEqual(run.returncode, 0, run.stderr)
        made = run.stdout.decode().split()[1].split('/')[1]
        left = sorted(f for f in os.listdir(data) if f.startswith('bck-'))
        self.assertEqual(left, sorted([made, 'bck-05-06-25-08-00-00.db', 'bck-rucno.db']))
        with open(os.path.join(data, made), 'rb') as f, open(journal, 'rb') as g:
            self.assertEqual(f.read(16), g.read(16))
        self.assertEqual(len(sqlite3.connect(os.path.join(data, made)).execute(
            'SELECT * FROM promet').fetchall()), len(self.rows()))

    def test_closed_days_stay_closed_through_reversals_closes_and_restores(self):
        with tempfile.TemporaryDirectory() as tmp:
            subprocess.run([FILL, tmp, '200'], check=True, capture_output=True)
            admin = lambda *args: subprocess.run([ADMIN, '--dir', tmp, *args], capture_output=True)
            data = os.path.join(tmp, 'podaci')
            query = lambda sql: sqlite3.connect(os.path.join(data, 'promet.db')).execute(sql).fetchall()
            shutil.copy(os.path.join(data, 'promet.db'), os.path.join(data, 'bck-stari.db'))
            first_day, number = query('SELECT p.DATUM, d.BROJ FROM promet p JOIN dorvanta_dokument d '
                                      'ON d.ID = p.rowid ORDER BY p.rowid LIMIT 1')[0]
            today = query("SELECT date('now', 'localtime')")[0][0]
            backups = lambda: {f for f in os.listdir(data) if re.match(r'bck-\d\d-', f)}
            steps = [
                # A closed day's document is reversed on an open day.
                (('close-day', '--date', first_day, '--admin-code', '12345'), 0, b''),
                (('reverse', number, '--admin-code', '12345'), 0, b''),
                (('close-day', '--date', today, '--admin-code', '12345'), 0, b''),
                (('close-day', '--date', today, '--admin-code', '12345'), 1, b'vec zakljucen'),
                (('reverse', number, '--admin-code', '12345'), 1, b'storno se ne moze'),
                # The old copy lacks today's reversal: it changes a closed day.
                (('restore', 'bck-stari.db', '--admin-code', '12345'), 1, b'je zakljucen sa stanjem'),
                (('restore', 'bck-stari.db', '--admin-code', 'pogresna'), 1, b'not right'),
                (('restore', 'bck-stari.db', '--admin-code', '12345', '--change-closed-days'), 0, b''),
                (('verify',), 1, b'je zakljucen sa stanjem'),
            ]
            for args, status, said in steps:
                with self.subTest(args=args):
                    if args[0] == 'close-day':
                        time.sleep(1.1)  # a backup's name tells its second
                    before = backups()
                    count = query('SELECT COUNT(*) FROM promet')[0][0]
                    run = admin(*args)
                    self.assertEqual(run.returncode, status, run.stderr)
                    self.assertIn(said, run.stderr)
                    if args[0] == 'close-day' and status == 0:
                        made = backups() - before
                        self.assertEqual(len(made), 1, run.stdout)
                        self.assertIn(b'Snimljeno: podaci/' + min(made).encode(), run.stdout)
                        closed = sqlite3.connect(os.path.join(data, min(made))).execute(
                            'SELECT DATUM FROM dorvanta_zakljucak ORDER BY DATUM').fetchall()
                        self.assertEqual(closed[-1], (args[2],))
                    if status != 0:
                        self.assertEqual(query('SELECT COUNT(*) FROM promet')[0][0], count)
            self.assertEqual(query("SELECT RADNJA FROM dorvanta_dnevnik ORDER BY RB DESC LIMIT 1"),
                             [('POVRACAJ',)])
            # The backup the close wrote gives the closed day back whole.
            newest = max(backups(), key=lambda f: os.path.getmtime(os.path.join(data, f)))
            self.assertEqual(admin('restore', newest, '--admin-code', '12345').returncode, 0)
            run = admin('verify')
            self.assertEqual(run.returncode, 0, run.stderr)

    def text(self, pdf):
        out = subprocess.run(['pdftotext', '-layout', pdf, '-'], check=True,
                             capture_output=True).stdout.decode('utf-8')
        return ' '.join(out.split())

    def test_voucher_prints_the_document_with_its_amount_in_words(self):
        with tempfile.TemporaryDirectory() as tmp:
            subprocess.run([FILL, tmp, '20'], check=True, capture_output=True)
            admin = lambda *args: subprocess.run([ADMIN, '--dir', tmp, *args], capture_output=True)
            db = sqlite3.connect(os.path.join(tmp, 'podaci', 'promet.db'))
            number = lambda sql: db.execute('SELECT d.BROJ, p.rowid FROM promet p JOIN dorvanta_dokument d '
                                            'ON d.ID = p.rowid WHERE ' + sql + ' LIMIT 1').fetchone()
            receipt, receipt_id = number("d.BROJ LIKE 'U-%'")
            payment, payment_id = number("d.BROJ LIKE 'I-%'")
            # Amounts whose words are known; the voucher does not check the chain.
            db.execute('UPDATE promet SET ULAZDIN = 350050, ULAZEUR = 0 WHERE rowid = ?', (receipt_id,))
            db.execute('UPDATE promet SET IZLAZDIN = 0, IZLAZEUR = 2100 WHERE rowid = ?', (payment_id,))
            day = db.execute('SELECT DATUM FROM promet WHERE rowid = ?', (payment_id,)).fetchone()[0]
            db.commit()
            db.close()
            self.assertEqual(admin('rates', '--set', day, 'EUR', '117.1735').returncode, 0)
            shown = '.'.join(reversed(day.split('-')))
            self.assertEqual(admin('reverse', receipt, '--admin-code', '12345').returncode, 0)
            reversal = admin('export-csv').stdout.decode().splitlines()[-1].split(',')[0]
            pdf = os.path.join(tmp, 'nalog.pdf')
            cases = [
                (receipt, ['NALOG BLAGAJNI ZA NAPLATU', receipt, '3500.50 DIN',
                           'slovima: tri hiljade petsto dinara i 50/100', 'Uplatilac']),
                (payment, ['NALOG BLAGAJNI ZA ISPLATU', payment, '21.00 EUR',
                           'slovima: dvadeset jedan evro', 'Primalac',
                           'protivvrednost 2,460.64 DIN po srednjem kursu NBS 117.1735 na dan ' + shown]),
                (reversal, ['NALOG BLAGAJNI ZA NAPLATU', 'STORNO dokumenta ' + receipt,
                            '-3500.50 DIN', 'slovima: minus tri hiljade petsto dinara i 50/100']),
            ]
            for document, expected in cases:
                with self.subTest(document=document):
                    run = admin('voucher', document, '--pdf', pdf)
                    self.assertEqual(run.returncode, 0, run.stderr)
                    text = self.text(pdf)
                    for part in expected + ['Blagajnik', 'Odobrio', 'Datum i vreme:']:
                        self.assertIn(part, text)
            refused = [(('voucher', 'U-1999-000001', '--pdf', pdf), 1, b'Ne postoji'),
                       (('voucher', receipt), 2, b'--pdf')]
            for args, status, said in refused:
                with self.subTest(args=args):
                    run = admin(*args)
                    self.assertEqual(run.returncode, status)
                    self.assertIn(said, run.stderr)

    def test_rates_change_only_when_forced_and_deposits_cover_the_receipts(self):
        lists = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'fuzz', 'corpus',
                             'rate_list')
        with tempfile.TemporaryDirectory() as tmp:
            subprocess.run([FILL, tmp, '50'], check=True, capture_output=True)
            admin = lambda *args: subprocess.run([ADMIN, '--dir', tmp, *args], capture_output=True)
            steps = [
                (('rates', '--import', os.path.join(lists, 'middle.xml')), 0, b'novih 2'),
                (('rates', '--import', os.path.join(lists, 'buying_selling.xml')), 1, b'lista drugog tipa'),
                (('rates', '--import', os.path.join(lists, 'twice.xml')), 1, b'dva puta'),
                (('rates', '--show', '2026-12-10'), 0, b'117.1735 (NBS lista br. 237'),
                (('rates', '--set', '2026-12-10', 'EUR', '117.2'), 1, b'117.1735 (NBS lista br. 237) -> 117.2000'),
                (('rates', '--show', '2026-12-10'), 0, b'117.1735'),
                (('rates', '--set', '2026-12-10', 'EUR', '117.2', '--force'), 0, b'promenjenih 1'),
                (('rates', '--set', '2026-12-11', 'EUR', '117,25'), 0, b'novih 1'),
                (('rates', '--show', '2026-12-13'), 0, b'117.2500 (uneto od 11.12.2026)'),
                (('rates', '--show', '2026-12-14'), 1, b'nema kursa'),
                (('rates', '--set', '2026-12-14', 'EUR', 'x'), 1, b'nije broj'),
                (('rates', '--set', '2026-12-14', 'EUR'), 2, b'--set'),
                (('deposits', '--date', '2030-01-01'), 1, b'nije polozen na racun'),
                (('day-report', '--date', '2030-01-01', '--pdf', os.path.join(tmp, 'late.pdf')), 0, b''),
                (('deposit', '--date', '2026-12-10', '--amount', '5', '--slip', '1;2',
                  '--admin-code', '12345'), 1, b'nije ispravan'),
                (('deposit', '--date', '2026-12-10', '--amount', '5', '--slip', '1',
                  '--admin-code', '999'), 1, b''),
                (('deposit', '--date', '2026-12-10', '--amount', '999999999', '--slip', '160-42',
                  '--admin-code', '12345'), 0, b'POLOG NA RACUN br. 160-42'),
                (('deposits', '--date', '2030-01-01'), 0, b''),
            ]
            for args, status, said in steps:
                with self.subTest(args=args):
                    run = admin(*args)
                    self.assertEqual(run.returncode, status, run.stderr)
                    self.assertIn(said, run.stdout + run.stderr)
            self.assertIn('nije polozen na racun', self.text(os.path.join(tmp, 'late.pdf')))
            pdf = os.path.join(tmp, 'dan.pdf')
            self.assertEqual(admin('day-report', '--date', '2026-12-10', '--pdf', pdf).returncode, 0)
            report = ' '.join(self.text(pdf).split())
            for part in ('Srednji kurs NBS za EUR na dan 10.12.2026: 117.2000', 'Polog na racun: I-2026-',
                         'POLOG NA RACUN br. 160-42, 999,999,999.00 DIN', 'Stanje '):
                self.assertIn(part, report)
            db = sqlite3.connect(os.path.join(tmp, 'podaci', 'promet.db'))
            logged = db.execute("SELECT OPIS FROM dorvanta_dnevnik WHERE RADNJA = 'KURS'").fetchall()
            db.close()
            self.assertTrue(any('Promena kursa 10.12.2026 EUR: 117.1735' in r[0] for r in logged), logged)

    def test_a_count_posts_its_difference_and_the_day_report_prints_it(self):
        with tempfile.TemporaryDirectory() as tmp:
            subprocess.run([FILL, tmp, '50'], check=True, capture_output=True)
            admin = lambda *args: subprocess.run([ADMIN, '--dir', tmp, *args], capture_output=True)
            query = lambda sql: sqlite3.connect(os.path.join(tmp, 'podaci', 'promet.db')).execute(sql).fetchall()
            today = query("SELECT date('now', 'localtime')")[0][0]
            count = lambda currency, pieces, code='12345': admin(
                'count', '--date', today, '--currency', currency, '--pieces', pieces, '--admin-code', code)
            balance = lambda: query('SELECT COALESCE(SUM(ULAZDIN), 0) - COALESCE(SUM(IZLAZDIN), 0) FROM promet')[0][0]
            documents = lambda: query('SELECT d.BROJ, p.OPIS, p.ULAZDIN, p.IZLAZDIN, p.KORISNIK FROM promet p '
                                      'JOIN dorvanta_dokument d ON d.ID = p.rowid ORDER BY p.rowid DESC LIMIT 1')[0]
            steps = [
                # Whatever the journal holds, the first count makes the balance 5,000,000.00.
                ('5000x1000', 500000000, None, None),
                ('5000x999,2000x2,500x1,200x2', 499990000, 'I-', 'MANJAK po popisu'),
                ('5000x1000', 500000000, 'U-', 'VISAK po popisu'),
                ('5000x1000', 500000000, '', None),
            ]
            for pieces, counted, kind, reason in steps:
                with self.subTest(pieces=pieces):
                    before = query('SELECT COUNT(*) FROM promet')[0][0]
                    run = count('DIN', pieces)
                    self.assertEqual(run.returncode, 0, run.stderr)
                    self.assertEqual(balance(), counted)
                    if kind is None:
                        continue
                    self.assertEqual(query('SELECT COUNT(*) FROM promet')[0][0], before + bool(kind))
                    if kind:
                        number, opis, ulaz, izlaz, who = documents()
                        self.assertTrue(number.startswith(kind), number)
                        self.assertTrue(opis.startswith(reason), opis)
                        self.assertEqual(ulaz + izlaz, 10000)
                        self.assertEqual(who, 'Admin')
                        self.assertIn(number.encode(), run.stdout)
            shortage = query("SELECT DOKUMENT FROM dorvanta_popis WHERE RB = 2")[0][0]
            run = admin('verify')
            self.assertEqual(run.returncode, 0, run.stderr)
            stored = query('SELECT COUNT(*) FROM dorvanta_popis')[0][0]
            records = query('SELECT COUNT(*) FROM promet')[0][0]
            refused = [
                (('DIN', '3000x1'), 1, b'Apoen 3000 ne postoji'),
                (('DIN', '5000x-1'), 1, b'negativan'),
                (('DIN', '5000x1.5'), 1, b'ceo broj'),
                (('DIN', '5000x1;1000x2'), 1, b'Neispravan popis'),
                (('EUR', '1000x1'), 1, b'Apoen 1000 ne postoji u valuti EUR'),
                (('DIN', '5000x1', 'pogresna'), 1, b'not right'),
                (('KM', '5000x1'), 2, b'--currency'),
            ]
            for args, status, said in refused:
                with self.subTest(args=args):
                    run = count(*args)
                    self.assertEqual(run.returncode, status)
                    self.assertIn(said, run.stderr)
            self.assertEqual(query('SELECT COUNT(*) FROM dorvanta_popis')[0][0], stored)
            self.assertEqual(query('SELECT COUNT(*) FROM promet')[0][0], records)
            pdf = os.path.join(tmp, 'dan.pdf')
            run = admin('day-report', '--date', today, '--pdf', pdf)
            self.assertEqual(run.returncode, 0, run.stderr)
            text = self.text(pdf)
            for part in ('POPIS GOTOVINE DIN', '5000 x 999', '4995000.00', 'UKUPNO PREBROJANO 4999900.00',
                         'KNJIZNO STANJE 5000000.00', 'RAZLIKA (MANJAK) -100.00',
                         'Dokument razlike ' + shortage):
                self.assertIn(part, text)
            # The cash limit: the day's report shows it with the excess of the closing balance.
            limits = [
                (('--din', '1000000', '--admin-code', '12345'), 0, b''),
                (('--din', '-5', '--admin-code', '12345'), 2, b'--din'),
                (('--din', '12a', '--admin-code', '12345'), 2, b'--din'),
                (('--admin-code', '12345'), 2, b'--din'),
                (('--eur', '5', '--admin-code', 'pogresna'), 1, b'not right'),
            ]
            for args, status, said in limits:
                with self.subTest(args=args):
                    run = admin('limit', *args)
                    self.assertEqual(run.returncode, status, run.stderr)
                    self.assertIn(said, run.stderr)
            self.assertEqual(query("SELECT VREDNOST FROM dorvanta_postavke WHERE KLJUC = 'LIMITDIN'"),
                             [('1000000.00',)])
            self.assertEqual(admin('day-report', '--date', today, '--pdf', pdf).returncode, 0)
            self.assertIn('Blagajnicki maksimum 1000000.00 DIN, visak 4000000.00 DIN', self.text(pdf))

    def test_offsite_copy_restores_on_a_new_computer_and_damage_changes_nothing(self):
        with tempfile.TemporaryDirectory() as tmp:
            shop, fresh, usb = (os.path.join(tmp, n) for n in ('shop', 'fresh', 'usb'))
            os.mkdir(usb)
            subprocess.run([FILL, shop, '300'], check=True, capture_output=True)
            subprocess.run([FILL, fresh, '0'], check=True, capture_output=True)
            admin = lambda d, *args: subprocess.run([ADMIN, '--dir', d, *args], capture_output=True)
            copies = os.path.join(usb, 'dorvanta-rezerva')
            self.assertEqual(admin(shop, 'offsite-init').returncode, 2)
            run = admin(shop, 'offsite-init', '--folder', usb)
            self.assertEqual(run.returncode, 0, run.stderr)
            key_text = re.search(rb'([0-9A-Z]{4}-){13}[0-9A-Z]{4}', run.stdout).group(0).decode()
            self.assertEqual(os.stat(os.path.join(shop, 'podaci', 'rezerva-kljuc.txt')).st_mode & 0o777,
                             0o600)
            # A target that is not there (a disk not mounted) fails the copy, not the backup.
            os.rename(copies, copies + '.x')
            run = admin(shop, 'backup')
            self.assertEqual(run.returncode, 0, run.stderr)
            self.assertIn(b'NIJE snimljena', run.stdout)
            self.assertIn(b'da li je disk prikljucen', run.stdout)
            os.rename(copies + '.x', copies)
            # A reversal: a record stored after the log's first entry, which the copy holds.
            db = sqlite3.connect(os.path.join(shop, 'podaci', 'promet.db'))
            [first] = db.execute('SELECT BROJ FROM dorvanta_dokument ORDER BY ID LIMIT 1').fetchone()
            db.close()
            run = admin(shop, 'reverse', first, '--admin-code', '12345')
            self.assertEqual(run.returncode, 0, run.stderr)
            time.sleep(1.1)  # a copy's name tells its second
            run = admin(shop, 'backup')
            self.assertEqual(run.returncode, 0, run.stderr)
            [name] = os.listdir(copies)
            self.assertRegex(name, r'^\d{4}(-\d\d){5}\.dvr$')
            listed = admin(shop, 'offsite-list').stdout
            self.assertIn(name.encode(), listed)
            # With the key, each copy is named by its sealed time and last document.
            self.assertRegex(listed, rb'Kopija od \d\d/\d\d/\d{4} \d\d:\d\d:\d\d, poslednji dokument [UI]-\d{4}-\d{6}')
            with open(os.path.join(copies, name), 'rb') as f:
                sealed = f.read()
            for clear in (b'SQLite format', b'Petar Petrovic', b'promet', b'U-20'):
                self.assertNotIn(clear, sealed)
            head = admin(shop, 'verify').stdout.split()[-1]
            # The reversal cut off with everything beside it in the store (its number, link,
            # counter and the log's entries since): the copy's sealed head still shows it.
            cut = os.path.join(tmp, 'cut')
            shutil.copytree(shop, cut)
            db = sqlite3.connect(os.path.join(cut, 'podaci', 'promet.db'))
            count, last = db.execute('SELECT count(*), max(rowid) FROM promet').fetchone()
            [number] = db.execute('SELECT BROJ FROM dorvanta_dokument WHERE ID = ?', (last,)).fetchone()
            kind, year, seq = number.split('-')
            db.execute('DELETE FROM promet WHERE rowid = ?', (last,))
            db.execute('DELETE FROM dorvanta_dokument WHERE ID = ?', (last,))
            db.execute('DELETE FROM dorvanta_lanac WHERE ID = ?', (last,))
            db.execute('UPDATE dorvanta_brojac SET POSLEDNJI = POSLEDNJI - 1 '
                       'WHERE VRSTA = ? AND GODINA = ?', (kind, int(year)))
            db.execute('DELETE FROM dorvanta_dnevnik WHERE ZAPISA >= ?', (count,))
            db.commit()
            db.close()
            run = admin(cut, 'verify')
            self.assertEqual(run.returncode, 1, run.stdout)
            said = run.stdout + run.stderr
            self.assertIn(('kopija van lokacije %s' % name).encode(), said)
            self.assertIn(b'zapisi sa kraja su obrisani', said)

            # The new computer has a key of its own; the shop's copy needs the shop's key text.
            self.assertEqual(admin(fresh, 'offsite-init', '--folder', usb).returncode, 0)
            journal = os.path.join(fresh, 'podaci', 'promet.db')
            files = lambda: sorted(os.listdir(os.path.join(fresh, 'podaci')))
            restore = lambda *more: admin(fresh, 'restore-offsite', name, '--admin-code', '12345',
                                          '--folder', usb, *more)
            wrong_key = key_text[:-9] + ('0000-' if key_text[-9:-5] != '0000' else '1111-') + key_text[-4:]
            damages = [
                ('flipped byte', lambda b: b[:5000] + bytes([b[5000] ^ 1]) + b[5001:], key_text, b'izmenjena'),
                ('cut file', lambda b: b[:len(b) // 2], key_text, b'izmenjena'),
                ('other key', lambda b: b, None, b'kljucem'),
                ('mistyped key text', lambda b: b, wrong_key, b'nije ispravan'),
            ]
            for what, damage, key, said in damages:
                with self.subTest(what), open(journal, 'rb') as f:
                    before, listed = f.read(), files()
                    with open(os.path.join(copies, name), 'wb') as f:
                        f.write(damage(sealed))
                    run = restore(*(['--key-text', key] if key else []))
                    self.assertEqual(run.returncode, 1, run.stdout)
                    self.assertIn(said, run.stderr)
                    with open(journal, 'rb') as g:
                        self.assertEqual(g.read(), before)
                    self.assertEqual(files(), listed)
            with open(os.path.join(copies, name), 'wb') as f:
                f.write(sealed)
            # An older copy renamed to pass as a newer one is refused.
            newer = name[:-6] + '%02d.dvr' % ((int(name[-6:-4]) + 1) % 60)
            with open(os.path.join(copies, newer), 'wb') as f:
                f.write(sealed)
            run = admin(fresh, 'restore-offsite', newer, '--admin-code', '12345', '--folder', usb,
                        '--key-text', key_text)
            self.assertEqual(run.returncode, 1, run.stdout)
            self.assertIn(b'preimenovana kopija', run.stderr)
            os.remove(os.path.join(copies, newer))
            run = restore('--key-text', key_text)
            self.assertEqual(run.returncode, 0, run.stderr)
            self.assertRegex(run.stdout, rb'Kopija od .*, poslednji dokument ')
            self.assertIn(b'promene posle tog vremena unesite ponovo iz naloga', run.stdout)
            # A number the vouchers show as used after the copy is never given, and said so once.
            run = admin(fresh, 'numbers', '--skip', 'U-2099-000003', '--admin-code', '12345')
            self.assertEqual(run.returncode, 0, run.stderr)
            self.assertIn(b'preskoceni su i brojevi 1 do 2', run.stdout)
            run = admin(fresh, 'numbers', '--skip', 'U-2099-000002', '--admin-code', '12345')
            self.assertEqual(run.returncode, 1, run.stdout)
            self.assertIn(b'vec izdat', run.stderr)
            run = admin(fresh, 'verify')
            self.assertEqual(run.returncode, 0, run.stderr)
            self.assertEqual(run.stdout.split()[-1], head)
            self.assertEqual(admin(fresh, 'export-csv').stdout, admin(shop, 'export-csv').stdout)

    def test_offsite_copy_goes_to_the_upload_servers_ftp_and_comes_back(self):
        if subprocess.run(['/usr/bin/python3', '-c', 'import pyftpdlib']).returncode != 0:
            self.skipTest('pyftpdlib is missing')
        with tempfile.TemporaryDirectory() as tmp:
            shop, fresh, home = (os.path.join(tmp, n) for n in ('shop', 'fresh', 'ftp'))
            os.mkdir(home)
            copies = os.path.join(home, 'dorvanta-rezerva')
            subprocess.run([FILL, shop, '300'], check=True, capture_output=True)
            subprocess.run([FILL, fresh, '0'], check=True, capture_output=True)
            admin = lambda d, *args: subprocess.run([ADMIN, '--dir', d, *args], capture_output=True)
            state = lambda: open(os.path.join(shop, 'podaci', 'rezerva-stanje.txt')).read().split('\n')
            backups = lambda: sorted(n for n in os.listdir(os.path.join(shop, 'podaci'))
                                     if n.startswith('bck-'))

            def upload_option(d, port, password='tajna'):
                # The upload's option file: on, server, user, password, no FTPS, passive, port.
                with open(os.path.join(d, 'podaci', 'ftpop.txt'), 'w', newline='\r\n') as f:
                    f.write('\n'.join(['1', '127.0.0.1', 'kasa', password, '', '', '1', str(port),
                                       'public_html/dv/podaci.txt']) + '\n')

            # Nothing listens: the set-up fails saying so and sets nothing up.
            with socket.socket() as s:
                s.bind(('127.0.0.1', 0))
                closed = s.getsockname()[1]
            upload_option(shop, closed)
            run = admin(shop, 'offsite-init', '--ftp')
            self.assertEqual(run.returncode, 1, run.stdout)
            self.assertIn(b'nije dostupan', run.stderr)
            self.assertFalse(os.path.exists(os.path.join(shop, 'podaci', 'rezerva.txt')))
            self.assertFalse(os.path.exists(os.path.join(shop, 'podaci', 'rezerva-kljuc.txt')))

            server = subprocess.Popen(['/usr/bin/python3', '-c', FTP_SERVER, home],
                                      stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
            try:
                port = int(server.stdout.readline())
                for d in (shop, fresh):
                    upload_option(d, port)
                run = admin(shop, 'offsite-init', '--ftp')
                self.assertEqual(run.returncode, 0, run.stderr)
                self.assertIn(('Cilj: FTP 127.0.0.1:%d/dorvanta-rezerva' % port).encode(), run.stdout)
                self.assertEqual(os.listdir(copies), [])
                key_text = re.search(rb'([0-9A-Z]{4}-){13}[0-9A-Z]{4}', run.stdout).group(0).decode()
                run = admin(shop, 'backup')
                self.assertEqual(run.returncode, 0, run.stderr)
                self.assertIn(b'Kopija van lokacije: FTP', run.stdout)
                [name] = os.listdir(copies)
                self.assertRegex(name, r'^\d{4}(-\d\d){5}\.dvr$')
                self.assertEqual(state()[0], 'OK')
                self.assertIn(name.encode(), admin(shop, 'offsite-list').stdout)
                head = admin(shop, 'verify').stdout.split()[-1]

                # A new computer with the shop's key text restores the copy from the server.
                run = admin(fresh, 'offsite-init', '--ftp', '--key-text', key_text)
                self.assertEqual(run.returncode, 0, run.stderr)
                run = admin(fresh, 'restore-offsite', name, '--admin-code', '12345')
                self.assertEqual(run.returncode, 0, run.stderr)
                self.assertEqual(admin(fresh, 'verify').stdout.split()[-1], head)
                self.assertEqual(admin(fresh, 'export-csv').stdout, admin(shop, 'export-csv').stdout)

                # A refused login, then a server that is gone: the backup is written all the
                # same, and the copy is said not to be.
                failures = [('refused login', lambda: upload_option(shop, port, 'pogresna')),
                            ('server down', lambda: (upload_option(shop, port), server.kill(), server.wait()))]
                for what, fault in failures:
                    with self.subTest(what):
                        fault()
                        time.sleep(1.1)  # a backup's name tells its second
                        had = backups()
                        run = admin(shop, 'backup')
                        self.assertEqual(run.returncode, 0, run.stderr)
                        self.assertEqual(len(backups()), len(had) + 1)
                        self.assertIn(b'Kopija van lokacije NIJE snimljena (FTP', run.stdout)
                        self.assertEqual(state()[0], 'GRESKA')
                        self.assertEqual(os.listdir(copies), [name])

                # The server gone and a folder beside it: the folder is still listed, the
                # server is said not to be reached.
                usb = os.path.join(home, 'usb')
                os.makedirs(os.path.join(usb, 'dorvanta-rezerva'))
                with open(os.path.join(shop, 'podaci', 'rezerva.txt'), 'w') as f:
                    f.write('FASCIKLA %s\nFTP\n' % usb)
                run = admin(shop, 'offsite-list')
                self.assertEqual(run.returncode, 1, run.stdout)
                self.assertIn(('fascikla %s/dorvanta-rezerva: nema kopija' % usb).encode(), run.stdout)
                self.assertIn(b'nije dostupan', run.stderr)
            finally:
                server.kill()
                server.wait()

    def test_a_secret_comes_from_standard_input_or_an_owners_file_and_the_command_line_warns(self):
        with tempfile.TemporaryDirectory() as tmp:
            shop, code = os.path.join(tmp, 'shop'), os.path.join(tmp, 'sifra')
            subprocess.run([FILL, shop, '20', '--from', '2025-01-01', '--to', '2025-01-05'],
                           check=True, capture_output=True)
            with open(code, 'w') as f:
                f.write('12345\n')
            cases = [  # how, its options, standard input, the file's mode, status, said
                ('command line', ['--admin-code', '12345'], b'', None, 0, b'warning'),
                ('standard input', ['--admin-code', '-'], b'12345\n', None, 0, b''),
                ('owner-only file', ['--admin-code-file', code], b'', 0o600, 0, b''),
                ('group-readable file', ['--admin-code-file', code], b'', 0o640, 1, b'chmod 600'),
                ('wrong code', ['--admin-code', '-'], b'999\n', None, 1, b'not right'),
                ('missing, no terminal', [], b'', None, 2, b'no terminal'),
                ('both ways', ['--admin-code', '-', '--admin-code-file', code], b'12345\n', 0o600, 1,
                 b'do not go together'),
            ]
            for how, options, given, mode, status, said in cases:
                with self.subTest(how):
                    if mode is not None:
                        os.chmod(code, mode)
                    run = subprocess.run([ADMIN, '--dir', shop, 'limit', '--din', '0', *options],
                                         input=given, capture_output=True)
                    self.assertEqual(run.returncode, status, run.stderr)
                    self.assertIn(said, run.stderr)
                    if status == 0 and not said:
                        self.assertEqual(run.stderr, b'')

    def test_archive_verifies_and_names_every_changed_missing_or_added_file(self):
        with tempfile.TemporaryDirectory() as tmp:
            shop, archive = os.path.join(tmp, 'shop'), os.path.join(tmp, 'arhiva')
            subprocess.run([FILL, shop, '400', '--from', '2025-01-01', '--to', '2025-12-31'],
                           check=True, capture_output=True)
            admin = lambda *args: subprocess.run([ADMIN, '--dir', shop, *args], capture_output=True)
            day = sqlite3.connect(os.path.join(shop, 'podaci', 'promet.db')).execute(
                'SELECT MIN(DATUM) FROM promet').fetchall()[0][0]
            self.assertEqual(admin('close-day', '--date', day, '--admin-code', '12345').returncode, 0)
            run = admin('archive', '--year', '2025', '--output', archive)
            self.assertEqual(run.returncode, 0, run.stderr)
            fingerprint = re.search(rb'Otisak kljuca za potpis: ([0-9a-f]{64})', run.stdout).group(1)
            self.assertIn(fingerprint, admin('verify').stdout)
            # Every daily report carries the fingerprint, so an archive can be held against it.
            self.assertIn(fingerprint.decode(), [w[0] for w in self.words(
                os.path.join(archive, 'izvestaj-%s.pdf' % day))])
            head = admin('verify').stdout.split()[5]
            with open(os.path.join(archive, 'MANIFEST'), 'rb') as f:
                self.assertIn(head, f.read())
            files = sorted(os.listdir(archive))
            self.assertEqual(files, ['MANIFEST', 'MANIFEST.sig', 'brojaci-2025.csv', 'dnevnik-2025.csv',
                                     'izvestaj-%s.pdf' % day, 'potpis-javni.pem', 'promet-2025.csv',
                                     'zakljucci-2025.csv'])
            with open(os.path.join(archive, 'promet-2025.csv'), 'rb') as f:
                self.assertEqual(f.read(), admin('export-csv', '--from', '2025-01-01', '--to', '2025-12-31').stdout)
            self.assertEqual(admin('archive', '--year', '2025', '--output', archive).returncode, 1)
            # A disk that fills half-way (a file size limit) leaves no half archive behind.
            half = os.path.join(tmp, 'pola')
            limit = os.path.getsize(os.path.join(archive, 'promet-2025.csv')) // 2
            run = subprocess.run([ADMIN, '--dir', shop, 'archive', '--year', '2025', '--output', half],
                                 capture_output=True, preexec_fn=lambda: resource.setrlimit(
                                     resource.RLIMIT_FSIZE, (limit, limit)))
            self.assertEqual(run.returncode, 1, run.stderr)
            self.assertIn(b'File too large', run.stderr)
            self.assertFalse(os.path.exists(half))
            bare = lambda *more: subprocess.run([ADMIN, 'verify-archive', archive, *more], capture_output=True)
            check = lambda: bare('--fingerprint', fingerprint.decode())
            self.assertEqual(check().returncode, 0)
            # The key an archive brings itself proves nothing: without the fingerprint the signer
            # is not checked, and the check does not pass.
            run = bare()
            self.assertEqual(run.returncode, 1)
            self.assertIn(b'potpisnik nije proveren', run.stderr)
            run = bare('--fingerprint', '0' * 64)
            self.assertEqual(run.returncode, 1)
            self.assertIn(fingerprint, run.stderr)
            # What an inspector runs, without the program.
            inspector = subprocess.run("grep -v '^#' MANIFEST | sha256sum -c --quiet && openssl pkeyutl "
                                       "-verify -pubin -inkey potpis-javni.pem -rawin -in MANIFEST "
                                       "-sigfile MANIFEST.sig", shell=True, cwd=archive, capture_output=True)
            self.assertEqual(inspector.returncode, 0, inspector.stderr)
            def listed(manifest, name):
                """`manifest` with the digest and size of the archive's file `name` as it is now."""
                with open(os.path.join(archive, name), 'rb') as f:
                    data = f.read()
                return b'\n'.join(
                    hashlib.sha256(data).hexdigest().encode() + b'  ' + name.encode()
                    if line.endswith(b'  ' + name.encode()) and not line.startswith(b'#')
                    else b'# %d %s' % (len(data), name.encode())
                    if line.startswith(b'# ') and line.endswith(b' ' + name.encode()) else line
                    for line in manifest.split(b'\n'))

            def resign(manifest, key):
                """`manifest` signed with the Ed25519 key `key` (PEM), whose public half the
                archive then carries and lists."""
                with open(os.path.join(tmp, 'tudji.pem'), 'wb') as f:
                    f.write(key)
                subprocess.run(['openssl', 'pkey', '-in', os.path.join(tmp, 'tudji.pem'), '-pubout', '-out',
                                os.path.join(archive, 'potpis-javni.pem')], check=True)
                with open(os.path.join(archive, 'MANIFEST'), 'wb') as f:
                    f.write(listed(manifest, 'potpis-javni.pem'))
                subprocess.run(['openssl', 'pkeyutl', '-sign', '-inkey', os.path.join(tmp, 'tudji.pem'),
                                '-rawin', '-in', os.path.join(archive, 'MANIFEST'), '-out',
                                os.path.join(archive, 'MANIFEST.sig')], check=True)
            other_key = subprocess.run(['openssl', 'genpkey', '-algorithm', 'ed25519'], check=True,
                                       capture_output=True).stdout
            signed = {n: open(os.path.join(archive, n), 'rb').read()
                      for n in ('MANIFEST', 'MANIFEST.sig', 'potpis-javni.pem')}
            csv_name = 'promet-2025.csv'
            for name in files + ['missing', 'added', 'subfolder', 're-signed', 'traversal']:
                with self.subTest(name):
                    path = os.path.join(archive, name if name in files else
                                        csv_name if name == 're-signed' else files[2])
                    with open(path, 'rb') as f:
                        before = f.read()
                    if name == 'missing':
                        os.remove(path)
                        named = b'nedostaje: ' + files[2].encode()
                    elif name == 'added':
                        open(os.path.join(archive, 'dodat.csv'), 'w').close()
                        named = b'dodat.csv'
                    elif name == 'subfolder':
                        os.mkdir(os.path.join(archive, 'prilog'))
                        open(os.path.join(archive, 'prilog', 'izvestaj.pdf'), 'w').close()
                        named = b'visak (nije u MANIFEST): prilog/izvestaj.pdf'
                    elif name == 're-signed':
                        # A changed CSV with a MANIFEST that fits it, signed by a key of anyone's.
                        with open(os.path.join(archive, csv_name), 'wb') as f:
                            f.write(before + b'x\r\n')
                        resign(listed(signed['MANIFEST'], csv_name), other_key)
                        self.assertIn(b'potpisnik nije proveren', bare().stderr)
                        named = b'otisak kljuca'
                    elif name == 'traversal':
                        resign(signed['MANIFEST'] + b'0' * 64 + b'  ../../etc/shadow\n', other_key)
                        named = b'../../etc/shadow'
                    else:
                        with open(path, 'wb') as f:
                            f.write(before[:len(before) // 2] + bytes([before[len(before) // 2] ^ 1]) +
                                    before[len(before) // 2 + 1:])
                        named = b'MANIFEST' if name.startswith('MANIFEST') else name.encode()
                    run = check()
                    self.assertEqual(run.returncode, 1, run.stdout)
                    self.assertIn(named, run.stderr)
                    with open(path, 'wb') as f:
                        f.write(before)
                    if name == 'added':
                        os.remove(os.path.join(archive, 'dodat.csv'))
                    if name == 'subfolder':
                        shutil.rmtree(os.path.join(archive, 'prilog'))
                    if name in ('re-signed', 'traversal'):
                        for n, content in signed.items():
                            with open(os.path.join(archive, n), 'wb') as f:
                                f.write(content)
                    self.assertEqual(check().returncode, 0)


if __name__ == '__main__':
    unittest.main(argv=sys.argv[:1])

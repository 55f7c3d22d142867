// What a desk may do on the server, and how it appends there. The server keeps functions,
// owned by the administrator's role and run with its rights (SECURITY DEFINER, with a fixed
// search_path), through which a desk logs in and appends the rows that vouch for the journal:
//
//   dorvanta_prijava(code)          the name of the user with that login code, or NULL; binds
//                                   that name to the connection (a random token the server
//                                   keeps only as its hash, in dorvanta_prijava_zeton)
//   dorvanta_knjizi(id, kind, rev)  the record's document number (the next of its kind in its
//                                   year) and its chain link (from the last link): refused for
//                                   a record of a closed day, numbered already or behind the
//                                   chain's end
//   dorvanta_numerisi()             numbers (without linking) every record that has none
//   dorvanta_upisi(who, act, text, when)   an audit entry with the journal's head now
//   dorvanta_zakljuci(day, who, when)      a day close with its figures, number and anchor
//
// The number, the links, the head, the time and the user are computed by the server; `who`
// and `when` count only for a connection of the tables' owner that has not logged in (the
// administrator's tools, which may write the tables directly anyway). A desk's connection
// writes under the name its login bound, or under none. A desk has no INSERT on the tables
// these functions write, no SELECT on the login codes and no say over the journal's ids.

#include "desk/DeskTables.h"

#include "engine/EngineError.h"
#include "engine/Table.h"

namespace desk::server {

namespace {

// The functions, a statement to each paragraph; the tables they need first.
const char Functions[] = R"SQL(
ALTER TABLE dorvanta_zakljucak ADD COLUMN IF NOT EXISTS glava text, ADD COLUMN IF NOT EXISTS zapisa bigint;

CREATE TABLE IF NOT EXISTS dorvanta_prijava_zeton (zeton text PRIMARY KEY, korisnik text NOT NULL,
    vreme timestamptz NOT NULL DEFAULT now());

REVOKE ALL ON dorvanta_prijava_zeton FROM PUBLIC;

CREATE OR REPLACE FUNCTION dorvanta_kod(v text) RETURNS text LANGUAGE sql IMMUTABLE
SET search_path = pg_catalog, pg_temp AS $f$
    SELECT CASE WHEN v IS NULL THEN '-' ELSE octet_length(convert_to(v, 'UTF8'))::text || ':' || v END
$f$;

CREATE OR REPLACE FUNCTION dorvanta_veza(prethodna text, kod text) RETURNS text LANGUAGE sql IMMUTABLE
SET search_path = pg_catalog, pg_temp AS $f$
    SELECT encode(sha256(CASE WHEN prethodna ~ '^[0-9a-f]{64}$' THEN decode(prethodna, 'hex')
                              ELSE decode(repeat('00', 32), 'hex') END || convert_to(kod, 'UTF8')), 'hex')
$f$;

CREATE OR REPLACE FUNCTION dorvanta_prijavljen() RETURNS text LANGUAGE sql STABLE SECURITY DEFINER
SET search_path = pg_catalog, public, pg_temp AS $f$
    SELECT korisnik FROM dorvanta_prijava_zeton WHERE zeton = encode(sha256(convert_to(
        coalesce(current_setting('dorvanta.prijava', true), ''), 'UTF8')), 'hex')
$f$;

-- Whether the connection may give its own name and time: the tables' owner (or a superuser)
-- that has not logged in as a user.
CREATE OR REPLACE FUNCTION dorvanta_vlasnik() RETURNS boolean LANGUAGE sql STABLE SECURITY DEFINER
SET search_path = pg_catalog, public, pg_temp AS $f$
    SELECT pg_has_role(session_user, (SELECT relowner FROM pg_class WHERE oid = 'public.promet'::regclass), 'MEMBER')
$f$;

CREATE OR REPLACE FUNCTION dorvanta_ko(dat text) RETURNS text LANGUAGE plpgsql STABLE SECURITY DEFINER
SET search_path = pg_catalog, public, pg_temp AS $f$
DECLARE ime text := dorvanta_prijavljen();
BEGIN
    IF ime IS NOT NULL THEN RETURN ime; END IF;
    IF dorvanta_vlasnik() THEN RETURN nullif(dat, ''); END IF;
    RETURN NULL;
END $f$;

CREATE OR REPLACE FUNCTION dorvanta_kada(dato text) RETURNS text LANGUAGE plpgsql STABLE SECURITY DEFINER
SET search_path = pg_catalog, public, pg_temp AS $f$
BEGIN
    IF dato IS NOT NULL AND dato <> '' AND dorvanta_prijavljen() IS NULL AND dorvanta_vlasnik() THEN
        RETURN dato;
    END IF;
    RETURN to_char(localtimestamp, 'YYYY-MM-DD"T"HH24:MI:SS');
END $f$;

CREATE OR REPLACE FUNCTION dorvanta_prijava(sifra_unesena text) RETURNS text LANGUAGE plpgsql
VOLATILE SECURITY DEFINER SET search_path = pg_catalog, public, pg_temp AS $f$
DECLARE ime text; zeton text;
BEGIN
    SELECT imeiprezime INTO ime FROM korisnici WHERE sifra = sifra_unesena ORDER BY id DESC LIMIT 1;
    IF NOT FOUND THEN
        PERFORM set_config('dorvanta.prijava', '', false);
        RETURN NULL;
    END IF;
    zeton := replace(gen_random_uuid()::text || gen_random_uuid()::text, '-', '');
    DELETE FROM dorvanta_prijava_zeton WHERE vreme < now() - interval '2 days';
    INSERT INTO dorvanta_prijava_zeton (zeton, korisnik)
        VALUES (encode(sha256(convert_to(zeton, 'UTF8')), 'hex'), coalesce(ime, ''));
    PERFORM set_config('dorvanta.prijava', zeton, false);
    RETURN coalesce(ime, '');
END $f$;

CREATE OR REPLACE FUNCTION dorvanta_pocetak() RETURNS text LANGUAGE sql STABLE
SET search_path = pg_catalog, public, pg_temp AS $f$
    SELECT coalesce((SELECT pocetak FROM dorvanta_dnevnik WHERE pocetak IS NOT NULL ORDER BY rb DESC LIMIT 1),
                    repeat('0', 64))
$f$;

-- The journal's head: the last record's position and link (0 and NULL when it has none), the
-- segment's start for an empty journal.
CREATE OR REPLACE FUNCTION dorvanta_glava(OUT zapisa bigint, OUT glava text) LANGUAGE plpgsql STABLE
SET search_path = pg_catalog, public, pg_temp AS $f$
DECLARE poslednji bigint;
BEGIN
    SELECT max(id) INTO poslednji FROM promet;
    zapisa := 0;
    glava := NULL;
    IF poslednji IS NULL THEN
        glava := dorvanta_pocetak();
        RETURN;
    END IF;
    SELECT l.redni, l.hes INTO zapisa, glava FROM dorvanta_lanac l WHERE l.id = poslednji;
    IF NOT FOUND THEN zapisa := 0; glava := NULL; END IF;
END $f$;

CREATE OR REPLACE FUNCTION dorvanta_zapis(zapis bigint) RETURNS text LANGUAGE sql STABLE
SET search_path = pg_catalog, public, pg_temp SET datestyle = 'ISO, MDY' AS $f$
    SELECT dorvanta_kod(p.korisnik::text) || dorvanta_kod(p.datum::text) || dorvanta_kod(p.vreme::text)
        || dorvanta_kod(p.opis::text) || dorvanta_kod(p.grupa::text) || dorvanta_kod(p.ulazdin::text)
        || dorvanta_kod(p.izlazdin::text) || dorvanta_kod(p.ulazeur::text) || dorvanta_kod(p.izlazeur::text)
        || dorvanta_kod(p.stanjedin::text) || dorvanta_kod(p.stanjeeur::text) || dorvanta_kod(d.broj)
        || dorvanta_kod(d.storno)
    FROM promet p LEFT JOIN dorvanta_dokument d ON d.id = p.id WHERE p.id = zapis
$f$;

CREATE OR REPLACE FUNCTION dorvanta_sledeci(vrsta_broja text, godina_broja bigint) RETURNS bigint
LANGUAGE sql SET search_path = pg_catalog, public, pg_temp AS $f$
    INSERT INTO dorvanta_izdat (vrsta, godina, redni)
    SELECT vrsta_broja, godina_broja, coalesce(max(n), 0) + 1 FROM (
        SELECT max(redni) AS n FROM dorvanta_izdat WHERE vrsta = vrsta_broja AND godina = godina_broja
        UNION ALL SELECT poslednji FROM dorvanta_brojac WHERE vrsta = vrsta_broja AND godina = godina_broja) t
    RETURNING redni
$f$;

CREATE OR REPLACE FUNCTION dorvanta_broj(vrsta_broja text, godina_broja bigint, redni bigint) RETURNS text
LANGUAGE sql IMMUTABLE SET search_path = pg_catalog, pg_temp AS $f$
    SELECT vrsta_broja || '-' || lpad(godina_broja::text, 4, '0') || '-'
        || CASE WHEN redni < 1000000 THEN lpad(redni::text, 6, '0') ELSE redni::text END
$f$;

CREATE OR REPLACE FUNCTION dorvanta_upisi(ko text, radnja_unosa text, opis_unosa text, kada text)
RETURNS bigint LANGUAGE plpgsql VOLATILE SECURITY DEFINER
SET search_path = pg_catalog, public, pg_temp AS $f$
DECLARE
    poslednji record; broj bigint; prethodna text; ime text := dorvanta_ko(ko);
    vreme_unosa text := dorvanta_kada(kada); g record; kod text;
BEGIN
    IF radnja_unosa IS NULL OR radnja_unosa = '' THEN
        RAISE EXCEPTION 'Unos dnevnika bez radnje';
    END IF;
    SELECT rb, hes INTO poslednji FROM dorvanta_dnevnik ORDER BY rb DESC LIMIT 1;
    broj := coalesce(poslednji.rb, 0) + 1;
    prethodna := coalesce(poslednji.hes, repeat('0', 64));
    SELECT * INTO g FROM dorvanta_glava();
    kod := dorvanta_kod(broj::text) || dorvanta_kod(vreme_unosa) || dorvanta_kod(ime)
        || dorvanta_kod(radnja_unosa) || dorvanta_kod(nullif(opis_unosa, '')) || dorvanta_kod(g.zapisa::text)
        || dorvanta_kod(g.glava) || '-';
    INSERT INTO dorvanta_dnevnik (rb, vreme, korisnik, radnja, opis, zapisa, glava, pocetak, hes)
        VALUES (broj, vreme_unosa, ime, radnja_unosa, nullif(opis_unosa, ''), g.zapisa, g.glava, NULL,
                dorvanta_veza(prethodna, kod));
    RETURN broj;
END $f$;

CREATE OR REPLACE FUNCTION dorvanta_ulancaj(zapis bigint) RETURNS void LANGUAGE plpgsql
SET search_path = pg_catalog, public, pg_temp AS $f$
DECLARE poslednja record; prethodna text; mesto bigint; kod text;
BEGIN
    SELECT id, redni, hes INTO poslednja FROM dorvanta_lanac ORDER BY id DESC LIMIT 1;
    IF FOUND THEN
        IF poslednja.id >= zapis THEN
            RAISE EXCEPTION 'Zapis % nije posle poslednje veze lanca (%)', zapis, poslednja.id;
        END IF;
        prethodna := poslednja.hes;
        mesto := poslednja.redni + 1;
    ELSE
        prethodna := dorvanta_pocetak();
        mesto := 1;
    END IF;
    kod := dorvanta_zapis(zapis);
    IF kod IS NULL THEN
        RAISE EXCEPTION 'Zapis % prometa ne postoji', zapis;
    END IF;
    INSERT INTO dorvanta_lanac (id, redni, hes) VALUES (zapis, mesto, dorvanta_veza(prethodna, kod));
END $f$;

CREATE OR REPLACE FUNCTION dorvanta_knjizi(zapis bigint, vrsta_broja text, stornira text) RETURNS text
LANGUAGE plpgsql VOLATILE SECURITY DEFINER SET search_path = pg_catalog, public, pg_temp AS $f$
DECLARE dan date; zakljucen text; godina_broja bigint; broj_dokumenta text;
BEGIN
    IF vrsta_broja IS NULL OR vrsta_broja NOT IN ('U', 'I') THEN
        RAISE EXCEPTION 'Nepoznata vrsta dokumenta %', vrsta_broja;
    END IF;
    SELECT datum INTO dan FROM promet WHERE id = zapis;
    IF NOT FOUND THEN
        RAISE EXCEPTION 'Zapis % prometa ne postoji', zapis;
    END IF;
    SELECT max(datum) INTO zakljucen FROM dorvanta_zakljucak;
    IF zakljucen IS NOT NULL AND (dan IS NULL OR to_char(dan, 'YYYY-MM-DD') <= zakljucen) THEN
        RAISE EXCEPTION 'Dan % je zakljucen: promena nije proknjizena', coalesce(dan::text, '(bez datuma)');
    END IF;
    IF EXISTS (SELECT 1 FROM dorvanta_dokument WHERE id = zapis) THEN
        RAISE EXCEPTION 'Zapis % vec ima broj dokumenta', zapis;
    END IF;
    IF stornira IS NOT NULL AND NOT EXISTS (SELECT 1 FROM dorvanta_dokument WHERE broj = stornira) THEN
        RAISE EXCEPTION 'Dokument % ne postoji', stornira;
    END IF;
    godina_broja := coalesce(extract(year FROM dan)::bigint, 0);
    broj_dokumenta := dorvanta_broj(vrsta_broja, godina_broja, dorvanta_sledeci(vrsta_broja, godina_broja));
    INSERT INTO dorvanta_dokument (id, broj, storno) VALUES (zapis, broj_dokumenta, stornira);
    PERFORM dorvanta_ulancaj(zapis);
    RETURN broj_dokumenta;
END $f$;

CREATE OR REPLACE FUNCTION dorvanta_numerisi() RETURNS bigint LANGUAGE plpgsql VOLATILE SECURITY DEFINER
SET search_path = pg_catalog, public, pg_temp AS $f$
DECLARE n bigint;
BEGIN
    SELECT count(*) INTO n FROM promet p LEFT JOIN dorvanta_dokument d ON d.id = p.id WHERE d.id IS NULL;
    IF n = 0 THEN
        RETURN 0;
    END IF;
    -- In stored order within each kind and year, after the last number given: one statement
    -- for a whole imported journal.
    WITH nove AS (
        SELECT p.id, CASE WHEN coalesce(p.ulazdin, 0) <> 0 OR coalesce(p.ulazeur, 0) <> 0 THEN 'U' ELSE 'I' END AS v,
               coalesce(extract(year FROM p.datum)::bigint, 0) AS g
        FROM promet p LEFT JOIN dorvanta_dokument d ON d.id = p.id WHERE d.id IS NULL),
    redom AS (SELECT id, v, g, row_number() OVER (PARTITION BY v, g ORDER BY id) AS k FROM nove),
    osnova AS (
        SELECT r.v, r.g, (SELECT coalesce(max(t.n), 0) FROM (
            SELECT max(i.redni) AS n FROM dorvanta_izdat i WHERE i.vrsta = r.v AND i.godina = r.g
            UNION ALL SELECT b.poslednji FROM dorvanta_brojac b WHERE b.vrsta = r.v AND b.godina = r.g) t) AS od
        FROM (SELECT DISTINCT v, g FROM nove) r),
    upisani AS (
        INSERT INTO dorvanta_dokument (id, broj)
        SELECT r.id, dorvanta_broj(r.v, r.g, o.od + r.k) FROM redom r JOIN osnova o ON o.v = r.v AND o.g = r.g
        RETURNING id)
    INSERT INTO dorvanta_izdat (vrsta, godina, redni)
        SELECT r.v, r.g, o.od + max(r.k) FROM redom r JOIN osnova o ON o.v = r.v AND o.g = r.g
        GROUP BY r.v, r.g, o.od;
    RETURN n;
END $f$;

CREATE OR REPLACE FUNCTION dorvanta_zakljuci(dan date, ko text, kada text) RETURNS bigint
LANGUAGE plpgsql VOLATILE SECURITY DEFINER SET search_path = pg_catalog, public, pg_temp AS $f$
DECLARE
    iso text := to_char(dan, 'YYYY-MM-DD'); s record; g record; broj_izvestaja bigint;
    vreme_zakljucka text := dorvanta_kada(kada);
BEGIN
    IF dan IS NULL THEN
        RAISE EXCEPTION 'Nije zadat ispravan dan';
    END IF;
    IF dan > current_date + 1 AND NOT (dorvanta_prijavljen() IS NULL AND dorvanta_vlasnik()) THEN
        RAISE EXCEPTION 'Dan % jos nije prosao: ne moze se zakljuciti', iso;
    END IF;
    IF EXISTS (SELECT 1 FROM dorvanta_zakljucak WHERE datum = iso) THEN
        RAISE EXCEPTION 'Dan % je vec zakljucen', iso;
    END IF;
    SELECT coalesce(sum(ulazdin) FILTER (WHERE datum < dan), 0) - coalesce(sum(izlazdin) FILTER (WHERE datum < dan), 0) AS pd,
           coalesce(sum(ulazdin) FILTER (WHERE datum = dan), 0) AS ud,
           coalesce(sum(izlazdin) FILTER (WHERE datum = dan), 0) AS id_,
           coalesce(sum(ulazeur) FILTER (WHERE datum < dan), 0) - coalesce(sum(izlazeur) FILTER (WHERE datum < dan), 0) AS pe,
           coalesce(sum(ulazeur) FILTER (WHERE datum = dan), 0) AS ue,
           coalesce(sum(izlazeur) FILTER (WHERE datum = dan), 0) AS ie
        INTO s FROM promet WHERE datum <= dan;
    broj_izvestaja := dorvanta_sledeci('Z', extract(year FROM dan)::bigint);
    SELECT * INTO g FROM dorvanta_glava();
    INSERT INTO dorvanta_zakljucak (datum, broj, korisnik, vreme, prethodnodin, ulazdin, izlazdin, stanjedin,
                                    prethodnoeur, ulazeur, izlazeur, stanjeeur, glava, zapisa)
        VALUES (iso, broj_izvestaja, dorvanta_ko(ko), vreme_zakljucka, s.pd, s.ud, s.id_, s.pd + s.ud - s.id_,
                s.pe, s.ue, s.ie, s.pe + s.ue - s.ie, g.glava, g.zapisa);
    PERFORM dorvanta_upisi(ko, 'ZAKLJUCAK', format('Zakljucen dan %s, izvestaj br. %s', iso, broj_izvestaja),
                           vreme_zakljucka);
    RETURN broj_izvestaja;
END $f$;

CREATE OR REPLACE FUNCTION dorvanta_verzija() RETURNS integer LANGUAGE sql IMMUTABLE AS $f$ SELECT 2 $f$;
)SQL";

// What the desks' role gets and loses, when it exists (the administrator's first start may
// come before the roles are made).
const char DeskRights[] = R"SQL(
DO $d$
DECLARE kolone text; f record;
    vlasnik text := (SELECT pg_get_userbyid(relowner) FROM pg_class WHERE oid = 'public.promet'::regclass);
BEGIN
    -- The functions run with the rights of the tables' owner, never a superuser's.
    FOR f IN SELECT p.oid::regprocedure AS potpis FROM pg_proc p JOIN pg_namespace n ON n.oid = p.pronamespace
             WHERE n.nspname = 'public' AND p.proname LIKE 'dorvanta\_%' LOOP
        EXECUTE format('ALTER FUNCTION %s OWNER TO %I', f.potpis, vlasnik);
    END LOOP;
    EXECUTE format('ALTER TABLE dorvanta_prijava_zeton OWNER TO %I', vlasnik);
    REVOKE ALL ON FUNCTION dorvanta_kod(text), dorvanta_veza(text, text), dorvanta_prijavljen(),
        dorvanta_vlasnik(), dorvanta_ko(text), dorvanta_kada(text), dorvanta_prijava(text), dorvanta_pocetak(),
        dorvanta_glava(), dorvanta_zapis(bigint), dorvanta_sledeci(text, bigint),
        dorvanta_broj(text, bigint, bigint), dorvanta_upisi(text, text, text, text), dorvanta_ulancaj(bigint),
        dorvanta_knjizi(bigint, text, text), dorvanta_numerisi(), dorvanta_zakljuci(date, text, text)
        FROM PUBLIC;
    IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = 'dorvanta_kasa') THEN
        RETURN;
    END IF;
    GRANT EXECUTE ON FUNCTION dorvanta_prijava(text), dorvanta_knjizi(bigint, text, text), dorvanta_numerisi(),
        dorvanta_upisi(text, text, text, text), dorvanta_zakljuci(date, text, text) TO dorvanta_kasa;
    REVOKE INSERT, UPDATE, DELETE, TRUNCATE ON dorvanta_lanac, dorvanta_dnevnik, dorvanta_dokument,
        dorvanta_izdat, dorvanta_zakljucak FROM dorvanta_kasa;
    REVOKE SELECT ON korisnici FROM dorvanta_kasa;
    GRANT SELECT (id, imeiprezime) ON korisnici TO dorvanta_kasa;
    -- A desk appends records, and the server gives each its id: an id chosen by the desk could
    -- stand after every id still to come.
    SELECT string_agg(quote_ident(column_name), ', ') INTO kolone FROM information_schema.columns
        WHERE table_schema = 'public' AND table_name = 'promet' AND column_name <> 'id';
    REVOKE INSERT ON promet FROM dorvanta_kasa;
    EXECUTE format('GRANT INSERT (%s) ON promet TO dorvanta_kasa', kolone);
END $d$;
)SQL";

} // namespace

int functionsVersion()
{
    return 2;
}

QStringList setUpStatements()
{
    QStringList statements;
    for (const QString &paragraph : QString::fromLatin1(Functions).split(QStringLiteral("\n\n")))
        if (!paragraph.trimmed().isEmpty())
            statements << paragraph.trimmed();
    return statements << QString::fromLatin1(DeskRights).trimmed();
}

namespace {

// Whether the server's functions are there; nullopt for a table file. (A function named in a
// statement must exist even in a branch not taken, so the catalogue is asked first.)
std::optional<bool> hasFunctions(engine::Table &journal)
{
    try {
        return journal
                   .runBeside(QStringLiteral("SELECT to_regprocedure('dorvanta_verzija()') IS NOT NULL"))
                   .value(0)
                   .value(0)
                   .toString() == QLatin1String("t");
    } catch (const engine::EngineError &) {
        return std::nullopt; // a table file: no such catalogue
    }
}

} // namespace

Appending appending(engine::Table &journal)
{
    return hasFunctions(journal).value_or(false) ? Appending::ThroughFunctions : Appending::Directly;
}

bool upgrade(engine::Table &journal)
{
    const std::optional<bool> made = hasFunctions(journal);
    if (!made)
        return false;
    // Current functions of the tables' owner need nothing; those of another role (the tables
    // made again by someone else) would run without rights on them.
    if (*made) {
        const QVariantList current = journal
                                         .runBeside(QStringLiteral(
                                             "SELECT dorvanta_verzija(), (SELECT proowner FROM pg_proc WHERE oid = "
                                             "'dorvanta_verzija()'::regprocedure) = (SELECT relowner FROM "
                                             "pg_class WHERE oid = 'public.promet'::regclass)"))
                                         .value(0);
        if (current.value(0).toLongLong() >= functionsVersion() &&
            current.value(1).toString() == QLatin1String("t"))
            return false;
    }
    const bool owner =
        journal
            .runBeside(QStringLiteral("SELECT pg_has_role(session_user, (SELECT relowner FROM "
                                      "pg_class WHERE oid = 'public.promet'::regclass), 'MEMBER')"))
            .value(0)
            .value(0)
            .toString() == QLatin1String("t");
    if (!owner)
        return false;
    for (const QString &statement : setUpStatements())
        journal.runBeside(statement);
    return true;
}

} // namespace desk::server

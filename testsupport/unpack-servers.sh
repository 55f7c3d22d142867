#!/usr/bin/env bash
# Unpacks ProFTPD (with its TLS module) and Pure-FTPd from their Debian packages into the
# directory given, for the tests that run them. They cannot be installed beside vsftpd,
# so they are run from there. Does nothing when they are there already; a package that
# cannot be fetched leaves its server missing, and the tests that need it say so.
set -u
dir=$1
if [ -x "$dir/usr/sbin/proftpd" ] && [ -e "$dir/usr/lib/proftpd/mod_tls.so" ] \
   && [ -x "$dir/usr/sbin/pure-ftpd" ]; then
  exit 0
fi
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 0
for p in proftpd-core proftpd-mod-crypto pure-ftpd; do
  apt-get download "$p" >/dev/null 2>&1 || echo "cannot fetch the Debian package $p" >&2
done
for deb in ./*.deb; do
  [ -e "$deb" ] && dpkg-deb -x "$deb" "$dir"
done
exit 0

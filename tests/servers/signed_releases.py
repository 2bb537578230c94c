#!/usr/bin/env python3
"""Prepares releases signed by the real minisign command for the tests.

  signed_releases.py --www DIR --minisign PROGRAM

Writes DIR/signed/: the vendor's public key "trusted.pub", and one folder per
release, each with "updateinfo.txt", its "updateinfo.txt.minisig" and the
file it lists, "Foo.dll" at version 2.0.0 with its SHA-256:

  good            signed with the vendor's key (BLAKE2b-prehashed, "ED")
  legacy          signed the legacy way ("Ed"), the digest in lowercase
  relabelled      good's signature relabelled "Ed", over the BLAKE2b-512 of
                  good's manifest served as the manifest
  old             Foo.dll at 1.0.0, signed: a release to replay later
  older           Foo.dll at 1.5.0, signed: a release to replay later
  stale           Foo.dll at 3.0.0, signed with a timestamp a day old
  expired         signed with an expiry ten seconds ago
  expiring        signed with an expiry thirty days ahead
  no-digest       signed, but its record has no "sha256"
  big-signature   good's signature with an untrusted comment over 4 KiB
  huge            a manifest over 16 MiB
  edited          good's manifest edited after signing
  other-key       signed with another key
  forged          another key's signature carrying the vendor's key id
  comment-edited  good's signature with another trusted comment
  garbage         a signature file that is none
  unsigned        no signature file at all
  bad-file        Foo.dll's bytes differ from its SHA-256

Keys are made anew on every run; the tests read them from this folder.
"""

import argparse
import base64
import hashlib
import os
import shutil
import subprocess
import sys
import time

FOO = b"".join(b"Foo.dll 2.0.0 line %05d\n" % i for i in range(500))  # 12 KB: several chunks


def minisign(program, *args):
    subprocess.run([program, *args], check=True, stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


def manifest(version, content, uppercase, release=0, digest=True):
    sha256 = hashlib.sha256(content).hexdigest()
    sha256 = sha256.upper() if uppercase else sha256
    return ('{\n  "Files": [\n    {"name": "Foo.dll", "version": %d, "release": %d, "build": 0,\n'
            '     "sha1": "stale", "size": 1%s}\n  ]\n}\n'
            % (version, release, ', "sha256": "%s"' % sha256 if digest else "")).encode()


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


def release(root, name, program, key, version=2, uppercase=True, legacy=False, comment=None,
            **entry):
    folder = os.path.join(root, name)
    os.makedirs(folder)
    write(os.path.join(folder, "Foo.dll"), FOO)
    write(os.path.join(folder, "updateinfo.txt"), manifest(version, FOO, uppercase, **entry))
    if key is not None:
        minisign(program, "-S", "-s", key, "-m", os.path.join(folder, "updateinfo.txt"),
                 *(["-l"] if legacy else []), *(["-t", comment] if comment else []))
    return folder


def times(**fields):
    """A trusted comment as minisign writes it, with the times given in seconds from now."""
    now = int(time.time())
    return "\t".join(["timestamp:%d" % (now + fields.pop("timestamp", 0)),
                      "file:updateinfo.txt", "hashed"] +
                     ["%s:%d" % (name, now + offset) for name, offset in fields.items()])


def edit(path, change):
    with open(path, "rb") as f:
        data = f.read()
    write(path, change(data))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--www", required=True)
    parser.add_argument("--minisign", default="minisign")
    options = parser.parse_args()

    root = os.path.join(os.path.abspath(options.www), "signed")
    shutil.rmtree(root, ignore_errors=True)
    keys = os.path.join(root, "keys")
    os.makedirs(keys)
    for name in ("vendor", "other"):
        minisign(options.minisign, "-G", "-W", "-p", os.path.join(keys, name + ".pub"),
                 "-s", os.path.join(keys, name + ".sec"))
    shutil.copy(os.path.join(keys, "vendor.pub"), os.path.join(root, "trusted.pub"))
    vendor = os.path.join(keys, "vendor.sec")
    other = os.path.join(keys, "other.sec")

    release(root, "good", options.minisign, vendor)
    release(root, "legacy", options.minisign, vendor, uppercase=False, legacy=True)
    release(root, "old", options.minisign, vendor, version=1)
    release(root, "older", options.minisign, vendor, version=1, release=5)
    release(root, "stale", options.minisign, vendor, version=3, comment=times(timestamp=-86400))
    release(root, "expired", options.minisign, vendor, comment=times(timestamp=-100, expires=-10))
    release(root, "expiring", options.minisign, vendor, comment=times(expires=30 * 86400))
    release(root, "no-digest", options.minisign, vendor, digest=False)

    # An "ED" signature of a file relabelled "Ed" verifies over that file's
    # BLAKE2b-512: the vendor's signature of good's manifest, served over the
    # 64 bytes of its hash.
    relabelled = release(root, "relabelled", options.minisign, vendor)
    with open(os.path.join(relabelled, "updateinfo.txt"), "rb") as f:
        write(os.path.join(relabelled, "updateinfo.txt"), hashlib.blake2b(f.read()).digest())

    def as_legacy(data):
        lines = data.split(b"\n")
        lines[1] = base64.b64encode(b"Ed" + base64.b64decode(lines[1])[2:])
        return b"\n".join(lines)

    edit(os.path.join(relabelled, "updateinfo.txt.minisig"), as_legacy)
    big = release(root, "big-signature", options.minisign, vendor)
    edit(os.path.join(big, "updateinfo.txt.minisig"),
         lambda d: d.replace(b"untrusted comment: ", b"untrusted comment: " + b"x" * 4096, 1))
    huge = release(root, "huge", options.minisign, vendor)
    write(os.path.join(huge, "updateinfo.txt"), b" " * (16 * 1024 * 1024 + 1))
    edited = release(root, "edited", options.minisign, vendor)
    edit(os.path.join(edited, "updateinfo.txt"), lambda d: d.replace(b'"version": 2', b'"version": 3'))
    release(root, "other-key", options.minisign, other)

    # The other key's signature with the vendor's key id: only Ed25519 can tell.
    forged = release(root, "forged", options.minisign, other)
    with open(os.path.join(keys, "vendor.pub")) as f:
        vendor_id = base64.b64decode(f.read().splitlines()[1])[2:10]

    def with_vendor_id(data):
        lines = data.split(b"\n")
        signature = base64.b64decode(lines[1])
        lines[1] = base64.b64encode(signature[:2] + vendor_id + signature[10:])
        return b"\n".join(lines)

    edit(os.path.join(forged, "updateinfo.txt.minisig"), with_vendor_id)

    commented = release(root, "comment-edited", options.minisign, vendor)
    edit(os.path.join(commented, "updateinfo.txt.minisig"),
         lambda d: d.replace(b"trusted comment: ", b"trusted comment: release 9.9.9 "))
    garbage = release(root, "garbage", options.minisign, None)
    write(os.path.join(garbage, "updateinfo.txt.minisig"), b"untrusted comment: none\nnot base64\n")
    release(root, "unsigned", options.minisign, None)
    bad = release(root, "bad-file", options.minisign, vendor)
    edit(os.path.join(bad, "Foo.dll"), lambda d: d.replace(b"2.0.0", b"6.6.6", 1))

    shutil.rmtree(keys)
    return 0


if __name__ == "__main__":
    sys.exit(main())

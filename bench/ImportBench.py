#!/usr/bin/python3
# SPDX-FileCopyrightText: 2026 The Corvella developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""Importing a browser's CSV export of 10,000 logins into a new vault with corvella-cli, against
exporting the same vault: both timed as whole runs of the tool, alternating, and the medians
written as JSON {"import_ms": ..., "export_ms": ...}.

Usage: ImportBench.py --cli CORVELLA_CLI --out RESULT.json [--runs N]
"""
import argparse
import json
import os
import random
import shutil
import statistics
import string
import subprocess
import tempfile
import time

ENTRIES = 10_000
MASTER = b"bench master"


def chrome_export(rng):
    """A made-up export in Chrome's layout: name,url,username,password, some fields quoted."""
    alphabet = string.ascii_letters + string.digits + "!#%&/()=@"
    lines = ["name,url,username,password"]
    for i in range(ENTRIES):
        host = f"site{i}.example{rng.randrange(100)}.com"
        user = f"user{rng.randrange(10**6)}@mail.example"
        password = "".join(rng.choice(alphabet) for _ in range(rng.randrange(12, 17)))
        if i % 10 == 0:
            password = '"' + password.replace('"', '""') + ',x"'
        lines.append(f"{host},https://{host}/login?from=list&n={i},{user},{password}")
    return ("\r\n".join(lines) + "\r\n").encode()


def timed(command, stdin):
    started = time.perf_counter()
    subprocess.run(command, input=stdin, stdout=subprocess.DEVNULL, check=True)
    return (time.perf_counter() - started) * 1000


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--cli", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--runs", type=int, default=15)
    args = parser.parse_args()

    folder = tempfile.mkdtemp(prefix="corvella-import-bench-")
    try:
        source = os.path.join(folder, "Chrome Passwords.csv")
        with open(source, "wb") as out:
            out.write(chrome_export(random.Random(11)))
        vault = os.path.join(folder, "vault.dat")
        env_stdin = MASTER + b"\n"
        subprocess.run([args.cli, "import", source, "--file", vault, "--password-stdin"],
                       input=env_stdin, stdout=subprocess.DEVNULL, check=True)
        imports, exports = [], []
        for run in range(args.runs):
            target = os.path.join(folder, f"new{run}.dat")
            imports.append(timed([args.cli, "import", source, "--file", target,
                                  "--password-stdin"], env_stdin))
            os.remove(target)
            exports.append(timed([args.cli, "export", "--file", vault, "--format", "csv",
                                  "--password-stdin"], env_stdin))
        result = {"import_ms": statistics.median(imports), "export_ms": statistics.median(exports)}
        print(f"import-10k: {result['import_ms']:.1f} ms, export-10k: {result['export_ms']:.1f} ms")
        with open(args.out, "w") as out:
            json.dump(result, out)
    finally:
        shutil.rmtree(folder)


if __name__ == "__main__":
    main()

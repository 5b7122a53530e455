#!/usr/bin/python3
# SPDX-FileCopyrightText: 2026 The Corvella developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""Peak resident memory of corvella-cli exporting a vault of 1,000,000 entries as JSON (12-byte
site name, 30-byte address, 10-byte user name, 14-byte password each), against the size of the
vault file. Each run is a fresh process whose own high-water mark the kernel reports when it is
reaped; the median of the runs is written as JSON {"entries": ..., "vault_bytes": ...,
"peak_rss_bytes": ..., "ratio": ...}.

Usage: ExportBench.py --cli CORVELLA_CLI --make-vault BENCH_MAKE_VAULT --out RESULT.json
                      [--runs N] [--entries N]
"""
import argparse
import json
import os
import shutil
import statistics
import subprocess
import tempfile

# kMasterPassword of bench/TenThousandEntries.h, which bench_make_vault writes the vault under.
MASTER = b"correct horse battery"


def peak_rss_bytes(command, stdin):
    """Runs `command` to its end and returns its peak resident memory. The kernel keeps the
    larger of the high-water marks before and after exec, so this small process's own memory
    could only count if it were the larger."""
    process = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.DEVNULL)
    process.stdin.write(stdin)
    process.stdin.close()
    _, status, usage = os.wait4(process.pid, 0)
    process.returncode = os.waitstatus_to_exitcode(status)
    if process.returncode != 0:
        raise subprocess.CalledProcessError(process.returncode, command)
    return usage.ru_maxrss * 1024


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--cli", required=True)
    parser.add_argument("--make-vault", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--entries", type=int, default=1_000_000)
    args = parser.parse_args()

    folder = tempfile.mkdtemp(prefix="corvella-export-bench-")
    try:
        vault = os.path.join(folder, "vault.dat")
        subprocess.run([args.make_vault, str(args.entries), vault], check=True)
        vault_bytes = os.path.getsize(vault)
        command = [args.cli, "export", "--format", "json", "--file", vault, "--password-stdin"]
        peaks = [peak_rss_bytes(command, MASTER + b"\n") for _ in range(args.runs)]
        peak = statistics.median(peaks)
        result = {"entries": args.entries, "vault_bytes": vault_bytes, "peak_rss_bytes": peak,
                  "ratio": peak / vault_bytes}
        print(f"export-{args.entries}: vault {vault_bytes / 2**20:.1f} MiB, peak resident "
              f"{peak / 2**20:.1f} MiB, ratio {result['ratio']:.2f}")
        with open(args.out, "w") as out:
            json.dump(result, out)
    finally:
        shutil.rmtree(folder)


if __name__ == "__main__":
    main()

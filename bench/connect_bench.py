#!/usr/bin/env python3
"""Connect benchmark: one process that connects, logs in and lists the databases, kelvane-gen
against the mariadb client of the same client library, on the same server, runs interleaved.

usage: connect_bench.py KELVANE_GEN PLAIN_PORT TLS_PORT OUT_JSON [REPETITIONS]
Writes {"name": median nanoseconds, ...}: tls/kelvane_gen (--ssl-mode=REQUIRED), tls/mariadb
(--ssl) against the server that accepts only TLS; plain/kelvane_gen, plain/mariadb against the
plain server.
"""
import json
import statistics
import subprocess
import sys
import time

PASSWORD = "271828"


def main():
    gen, plain, tls, out = sys.argv[1:5]
    repetitions = int(sys.argv[5]) if len(sys.argv) > 5 else 41
    client = ["mariadb", "--no-defaults", "-h127.0.0.1", "-uroot", "-p" + PASSWORD, "-N", "-e",
              "show databases"]
    commands = {
        "tls/kelvane_gen": [gen, "-P", tls, "--password=" + PASSWORD, "--ssl-mode=REQUIRED", "databases"],
        "tls/mariadb": client[:3] + ["-P", tls, "--ssl"] + client[3:],
        "plain/kelvane_gen": [gen, "-P", plain, "--password=" + PASSWORD, "databases"],
        "plain/mariadb": client[:3] + ["-P", plain] + client[3:],
    }
    times = {name: [] for name in commands}
    env = {"PATH": "/usr/bin:/bin", "HOME": "/nonexistent"}
    for _ in range(repetitions):
        for name, command in commands.items():
            start = time.perf_counter_ns()
            done = subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, env=env)
            elapsed = time.perf_counter_ns() - start
            if done.returncode != 0:
                raise SystemExit(f"{name}: exit {done.returncode}: {done.stderr.decode(errors='replace')}")
            times[name].append(elapsed)
    with open(out, "w", encoding="utf-8") as f:
        json.dump({name: statistics.median(values) for name, values in times.items()}, f, indent=1)


if __name__ == "__main__":
    main()

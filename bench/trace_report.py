#!/usr/bin/python3
"""bench/trace_report.py TRACE STARTED ENDED [WHAT]

Sums up the relay trace of one installation that bench/trace.sh took
(Wine's +timestamp,+pid,+relay channels): where the time between the image
load and ExitProcess went, by kind of work. STARTED and ENDED are the Unix
times around the whole Wine run, for the time Wine's own start and end add;
WHAT says what was installed (default: the small payload).

Only the installer's own thread counts: the one that called CopyFileA. A
traced call's time is the difference between the time stamps of its Call
and Ret lines, and goes to its kind; the time after a server call returns
(IDispatch calls through the proxy are not traced) goes to the server work
too, and the rest to the program's own work.
"""

import re
import sys

KINDS = [
    ("server activations and calls", r"CLSIDFromProgID|CoCreateInstance|SafeArrayCreate|VariantClear"),
    ("copy (CopyData)", r"CopyFileA|FindFirstFileA|FindNextFileA"),
    ("service executable (/Service)", r"CreateProcessA|WaitForSingleObject"),
    ("settings reads (setup.ini)", r"PrivateProfileString"),
    (
        "log (open, checks, writes)",
        r"fsopen|fopen|fwrite|fflush|fclose|SHGetFolderPathA$|CreateFileA|GetFileInformationByHandle"
        r"|GetFileAttributesA|CreateThread",
    ),
    ("service manager queries", r"SCManager|OpenService|CloseServiceHandle"),
    ("registry", r"RegOpenKey|RegQueryValue|RegCreateKey|RegSetValue"),
    ("target folder", r"SHGetFolderPathAndSubDirA"),
    ("COM start (CoInitialize)", r"CoInitialize"),
]
SERVER = KINDS[0][0]
OTHER = "other"
OWN = "own work between traced calls"
# 1234.567:0024:0028:Call KERNEL32.CopyFileA(...) ret=...
CALL = re.compile(r":Call [A-Za-z0-9_]+\.([A-Za-z0-9_]+)\(")
RET = re.compile(r":Ret  ")


def kind(function):
    for name, pattern in KINDS:
        if re.search(pattern, function):
            return name
    return OTHER


def main(trace, started, ended, what):
    first, depth, opened, names, back, after, end, spent = {}, {}, {}, {}, {}, {}, {}, {}
    main_thread = None
    with open(trace, encoding="utf-8", errors="replace") as f:
        for line in f:
            head = line.split(":", 3)
            if len(head) < 4:
                continue
            try:
                stamp = float(head[0])
            except ValueError:
                continue
            thread = head[2]
            first.setdefault(thread, stamp)
            call = CALL.search(line)
            if call:
                function = call.group(1)
                if depth.get(thread, 0) == 0 and thread in back:
                    key = (thread, after[thread])
                    spent[key] = spent.get(key, 0) + stamp - back[thread]
                depth[thread] = depth.get(thread, 0) + 1
                opened[thread, depth[thread]] = stamp
                names[thread, depth[thread]] = function
                if function == "CopyFileA":
                    main_thread = thread
                if function == "ExitProcess":
                    end[thread] = stamp
                    back.pop(thread, None)
            elif RET.search(line) and depth.get(thread, 0) > 0:
                level = depth[thread]
                depth[thread] -= 1
                if level == 1:
                    k = kind(names[thread, level])
                    spent[thread, k] = spent.get((thread, k), 0) + stamp - opened[thread, level]
                    back[thread] = stamp
                    after[thread] = k if k == SERVER else OWN
    if main_thread is None or main_thread not in end:
        print("trace_report: the trace holds no installation (no CopyFileA, or no ExitProcess)", file=sys.stderr)
        return 2
    total = end[main_thread] - first[main_thread]
    print(f"One installation of {what}, traced (Wine relay, ms time stamps): {total:.3f} s from the")
    print(f"image load to ExitProcess; {ended - started:.2f} s with the start and end of Wine around it.")
    accounted = 0
    share = lambda s: 100 * s / total if total > 0 else 0
    for name in [k for k, _ in KINDS] + [OTHER, OWN]:
        s = spent.get((main_thread, name), 0)
        accounted += s
        print(f"  {name:<38} {s:7.3f} s  {share(s):5.1f} %")
    rest = total - accounted
    print(f"  {'process start (before any traced call)':<38} {rest:7.3f} s  {share(rest):5.1f} %")
    return 0


if __name__ == "__main__":
    if len(sys.argv) not in (4, 5):
        print("usage: bench/trace_report.py TRACE STARTED ENDED [WHAT]", file=sys.stderr)
        sys.exit(2)
    what = sys.argv[4] if len(sys.argv) == 5 else "the small payload"
    sys.exit(main(sys.argv[1], float(sys.argv[2]), float(sys.argv[3]), what))

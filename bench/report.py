#!/usr/bin/python3
"""bench/report.py [--markdown] [--earlier RESULTS] [RESULTS]

Reads the results that bench/run.sh wrote (default: $BENCH_DIR/results.tsv,
build/bench/results.tsv without it) and the budgets of bench/budgets.tsv,
and prints one table per machine and kind: each figure, its baseline from
the same run, their ratio, the budget and whether it was met.

  --markdown         the tables of docs/performance.md, in Markdown
  --earlier RESULTS  also the ratios of an earlier run, in brackets

Exit code 0 when every budget is met, 1 when one is missed (in the plain
tables; the Markdown tables show it and end with 0), 2 when the results or
the budgets cannot be read, a budget names a figure that the results lack
(a misspelt case, or a measurement that did not run), or a baseline is not
above zero.
"""

import os
import re
import sys

TOP = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUDGETS = os.path.join(TOP, "bench", "budgets.tsv")
NAME = "bench/budgets.tsv"
COLUMNS = ["table", "machines", "figure", "baseline", "budget", "unit", "measure"]
TABLE_TITLES = {
    "floors": "against what its work cannot do without",
    "peers": "against the installers a maker might build instead, on the mixed payload",
}
MIB = 1048576


class Failure(Exception):
    """What keeps the report from being made."""


class Results:
    """One results file: the figures by MACHINE.CASE, and the lines that say
    when and where (date, runs, and each machine's title and load)."""

    def __init__(self, path):
        self.path = path
        self.figures = {}
        self.machines = {}  # name -> (load, title), in the order measured
        self.info = {}
        try:
            with open(path, encoding="utf-8") as f:
                lines = f.read().splitlines()
        except OSError as e:
            raise Failure(f"cannot read the results: {e} (bench/run.sh writes them)")
        for number, line in enumerate(lines, 1):
            fields = line.split("\t")
            if line.startswith("# machine\t") and len(fields) == 4:
                self.machines[fields[1]] = (fields[2], fields[3])
            elif line.startswith("# ") and len(fields) == 2:
                self.info[fields[0][2:]] = fields[1]
            elif line.strip():
                self.figures[self._case(fields, number)] = self._number(fields, number)

    def date(self):
        return self.info.get("date", "an unknown date")

    def _case(self, fields, number):
        case = fields[0]
        if "." not in case or case in self.figures:
            raise Failure(f"{self.path} line {number}: {case!r} is not a new MACHINE.CASE")
        return case

    def _number(self, fields, number):
        try:
            return float(fields[1])
        except (IndexError, ValueError):
            raise Failure(f"{self.path} line {number}: {fields[0]} has no figure")


class Expression:
    """A figure or baseline of the budgets: cases and numbers joined by + and
    -, and min(a, b, ...). value() looks the cases up for one machine."""

    TOKEN = re.compile(r"\s*(?:(\d+(?:\.\d+)?)|([a-z_][a-z0-9_]*)|([-+(),]))")

    def __init__(self, text):
        self.text = text
        self.tokens = []
        position = 0
        text = text.rstrip()
        while position < len(text):
            match = self.TOKEN.match(text, position)
            if not match:
                raise Failure(f"cannot read {text!r} at {text[position:]!r}")
            self.tokens.append(match.group(1) or match.group(2) or match.group(3))
            position = match.end()
        self.cases = [t for t in self.tokens if re.match(r"[a-z_]", t) and t != "min"]
        self.value(lambda case: 1.0)  # refuses a malformed expression now

    def value(self, lookup):
        self._lookup, self._next = lookup, 0
        result = self._sum()
        if self._next != len(self.tokens):
            raise Failure(f"cannot read {self.text!r}: {self.tokens[self._next]!r} after a whole expression")
        return result

    def _peek(self):
        return self.tokens[self._next] if self._next < len(self.tokens) else None

    def _take(self, expected=None):
        token = self._peek()
        if token is None or (expected is not None and token != expected):
            raise Failure(f"cannot read {self.text!r}: {expected or 'more'} expected")
        self._next += 1
        return token

    def _sum(self):
        total = self._term()
        while self._peek() in ("+", "-"):
            total = total + self._term() if self._take() == "+" else total - self._term()
        return total

    def _term(self):
        token = self._take()
        if token == "min":
            self._take("(")
            values = [self._sum()]
            while self._peek() == ",":
                self._take()
                values.append(self._sum())
            self._take(")")
            return min(values)
        if re.match(r"\d", token):
            return float(token)
        if re.match(r"[a-z_]", token):
            return self._lookup(token)
        raise Failure(f"cannot read {self.text!r}: {token!r} where a case or number belongs")


class Budget:
    """One row of bench/budgets.tsv."""

    def __init__(self, fields, number):
        if len(fields) != len(COLUMNS):
            raise Failure(f"{NAME} line {number}: {len(fields)} columns, not {len(COLUMNS)}")
        self.number = number
        self.table, machines, figure, baseline, budget, self.unit, self.measure = fields
        self.machines = machines.split()
        try:
            self.figure = Expression(figure)
            self.baseline = None if baseline == "-" else Expression(baseline)
            self.share = budget == "share"
            self.budget = None if budget in ("-", "share") else float(budget)
        except (Failure, ValueError) as e:
            raise Failure(f"{NAME} line {number}: {e}")
        if self.unit not in ("s", "MiB"):
            raise Failure(f"{NAME} line {number}: unit {self.unit!r} is neither s nor MiB")


def read_budgets():
    with open(BUDGETS, encoding="utf-8") as f:
        lines = f.read().splitlines()
    budgets = []
    for number, line in enumerate(lines, 1):
        if not line.strip() or line.startswith("#"):
            continue
        fields = line.split("\t")
        if fields[0] == "table":
            if fields != COLUMNS:
                raise Failure(f"{NAME} line {number}: the columns are {', '.join(COLUMNS)}")
            continue
        budgets.append(Budget(fields, number))
    return budgets


def check_figures(budgets, results):
    """Every case a budget names must be in the results, for each of its
    machines: a misspelt name is said here, never shown as an empty figure."""
    readers = {}  # MACHINE.CASE -> the budgets' lines that read it
    for b in budgets:
        expressions = [b.figure] + ([b.baseline] if b.baseline else [])
        for machine in b.machines:
            for case in (c for e in expressions for c in e.cases):
                readers.setdefault(f"{machine}.{case}", []).append(b.number)
    measured = {case.split(".")[0] for case in results.figures}
    problems, absent = [], {}
    for case, lines in readers.items():
        machine = case.split(".")[0]
        if machine not in measured:
            absent.setdefault(machine, set()).update(lines)
        elif case not in results.figures:
            numbers = ", ".join(map(str, sorted(set(lines))))
            problems.append(f"no figure {case}, which {NAME} reads on line(s) {numbers}")
    for machine, lines in absent.items():
        problems.append(f"no figure of the machine {machine}, which {NAME} reads on {len(lines)} line(s)")
    if problems:
        unread = sorted(set(results.figures) - set(readers))
        if unread:
            problems.append(f"cases that no budget reads: {', '.join(unread)}")
        raise Failure(f"{results.path}:\n  " + "\n  ".join(problems))


class Row:
    """A budget worked out for one machine."""

    def __init__(self, budget, machine, results, earlier):
        self.budget = budget
        lookup = lambda case: results.figures[f"{machine}.{case}"]
        self.figure = budget.figure.value(lookup)
        self.baseline = budget.baseline.value(lookup) if budget.baseline else None
        self.ratio = self._ratio(self.figure, self.baseline, machine)
        self.earlier = None
        if earlier is not None and budget.baseline is not None:
            try:
                before = lambda case: earlier.figures[f"{machine}.{case}"]
                self.earlier = budget.figure.value(before) / budget.baseline.value(before)
            except (KeyError, ZeroDivisionError):
                pass
        self.missed = self.ratio is not None and budget.budget is not None and self.ratio > budget.budget

    def _ratio(self, figure, baseline, machine):
        if baseline is None:
            return None
        if baseline <= 0:
            raise Failure(
                f"{NAME} line {self.budget.number} ({self.budget.measure}): the baseline "
                f"{self.budget.baseline.text} is {baseline} on {machine}: nothing can be held against it"
            )
        return figure / baseline

    def amount(self, value):
        if value is None:
            return ""
        if self.budget.unit == "MiB":
            return f"{value / MIB:.2f} MiB"
        return f"{value:.4g} s"

    def ratio_text(self):
        if self.ratio is None:
            return ""
        text = f"{100 * self.ratio:.0f} %" if self.budget.share else f"{self.ratio:.2f}×"
        if self.budget.budget is not None and f"{self.ratio:.2f}" == f"{self.budget.budget:.2f}":
            text = f"{self.ratio:.3f}×"  # the verdict stays visible
        if self.earlier is not None:
            text += f" ({100 * self.earlier:.0f} %)" if self.budget.share else f" ({self.earlier:.2f}×)"
        return text

    def budget_text(self):
        return "" if self.budget.budget is None else f"≤ {self.budget.budget:.2f}×"

    def verdict(self, markdown):
        if self.budget.budget is None or self.ratio is None:
            return ""
        return ("missed" if markdown else "MISSED") if self.missed else "ok"


def tables(budgets, results, earlier):
    """(machine, title, load average, rows) for each table: the machines in
    the order measured, the kinds of table in the budgets' order."""
    kinds = list(dict.fromkeys(b.table for b in budgets))
    measured = dict.fromkeys(case.split(".")[0] for case in results.figures)
    for machine in measured:
        load, title = results.machines.get(machine, ("unknown", machine))
        for kind in kinds:
            rows = [Row(b, machine, results, earlier) for b in budgets if b.table == kind and machine in b.machines]
            if rows:
                yield machine, f"{title}, {TABLE_TITLES.get(kind, kind)}", load, rows


def print_plain(budgets, results, earlier):
    missed = 0
    made = list(tables(budgets, results, earlier))  # every failure before any output
    print(f"Results of {results.date()}: medians of {results.info.get('runs', '?')} runs after one untimed run")
    print("(more runs for the short cases); bench/budgets.tsv holds the budgets.")
    header = ["measure", "figure", "baseline", "ratio", "budget", "result"]
    for machine, title, load, rows in made:
        cells = [
            [r.budget.measure.replace("`", ""), r.amount(r.figure), r.amount(r.baseline), r.ratio_text(),
             r.budget_text(), r.verdict(False)]
            for r in rows
        ]
        widths = [max(len(c[i]) for c in cells + [header]) for i in range(len(header))]
        print(f"\n## {title} (load average {load} at its start)\n")
        for c in [header, ["-" * w for w in widths]] + cells:
            print("| " + " | ".join(text.ljust(w) for text, w in zip(c, widths)) + " |")
        missed += sum(r.missed for r in rows)
    print()
    print(f"{missed} budget(s) missed" if missed else "Every budget met.")
    return 1 if missed else 0


def print_markdown(budgets, results, earlier):
    for machine, title, load, rows in list(tables(budgets, results, earlier)):
        print(f"{title} (load average {load} at its start):\n")
        print("| measure | figure | baseline | ratio | budget | |")
        print("|---|---|---|---|---|---|")
        for r in rows:
            cells = [r.budget.measure, r.amount(r.figure), r.amount(r.baseline), r.ratio_text(), r.budget_text(),
                     r.verdict(True)]
            print("| " + " | ".join(cells) + " |")
        print()
    return 0


def main(arguments):
    markdown = "--markdown" in arguments
    arguments = [a for a in arguments if a != "--markdown"]
    earlier_path = None
    if "--earlier" in arguments:
        at = arguments.index("--earlier")
        if at + 1 >= len(arguments):
            raise Failure("--earlier needs a results file")
        earlier_path = arguments.pop(at + 1)
        arguments.pop(at)
    if len(arguments) > 1 or any(a.startswith("-") for a in arguments):
        raise Failure("usage: bench/report.py [--markdown] [--earlier RESULTS] [RESULTS]")
    default = os.path.join(TOP, os.environ.get("BENCH_DIR", "build/bench"), "results.tsv")
    results = Results(arguments[0] if arguments else default)
    earlier = Results(earlier_path) if earlier_path else None
    budgets = read_budgets()
    check_figures(budgets, results)
    return (print_markdown if markdown else print_plain)(budgets, results, earlier)


if __name__ == "__main__":
    try:
        sys.exit(main(sys.argv[1:]))
    except Failure as e:
        print(f"report: {e}", file=sys.stderr)
        sys.exit(2)

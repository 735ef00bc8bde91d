"""Mutation check of the package's Python modules: does the suite see a one-point fault?

Each mutant changes one point of one module's logic (an operator, a constant, a dropped
`not`, a negated condition, an off-by-one slice bound, two swapped arguments). It is
written into a copy of the installed package that comes first on PYTHONPATH, so the
compiled modules stay the built ones and the Dask workers import the mutant too; then the
test files that exercise the module run, stopping at the first failure. Docstrings,
messages, type hints and parameter defaults get no mutants.

    python scripts/mutation.py [--modules tables.py,monotone.py] [--sample 0.2] [--list]
                               [--seed 0] [--match "encoding.py:24: dropped -" ...]
"""

from __future__ import annotations

import argparse
import ast
import copy
import importlib.util
import os
import random
import shutil
import signal
import sys
import tempfile
import time
import warnings
from collections.abc import Iterator
from dataclasses import dataclass
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parent.parent
SOURCE = ROOT / "src" / "tembrolin"

# The test files that exercise each module, the likeliest to fail first; the cluster code
# only by the cluster tests, which are slow.
BINNER = ["test_binner", "test_tables", "test_persistence", "test_package_diagnostics"]
ROW_FIT = ["test_fitting", "test_tables", "test_counts", "test_binner", "test_categorical"]
ROW_FIT += ["test_weights"]
TESTS = {
    "_frames.py": ["test_binner", "test_tables", "test_categorical"],
    "binner.py": [*BINNER, "test_distributed"],
    "bins.py": ["test_tables", *BINNER[:1], *BINNER[2:], "test_fitting", "test_counts"],
    "counted.py": ["test_counts", "test_prebinning", "test_distributed"],
    "diagnostics.py": ["test_package_diagnostics", "test_distributed"],
    "encoding.py": ["test_tables", "test_binner", "test_categorical", "test_distributed"],
    "fitting.py": [
        "test_fitting",
        "test_counts",
        "test_tables",
        "test_categorical",
        "test_optimal_fit",
        "test_distributed",
    ],
    "monotone.py": ["test_fitting", "test_tables", "test_counts"],
    "persistence.py": ["test_persistence", "test_distributed", "test_weights"],
    "plots.py": ["test_package_diagnostics"],
    "request.py": ["test_binner", "test_fitting", "test_categorical", "test_optimal_fit"],
    "sample.py": ROW_FIT,
    "rows.py": ROW_FIT,
    "tables.py": ["test_tables", *BINNER[:1], *BINNER[2:]],
    "target.py": [
        "test_fitting",
        "test_counts",
        "test_binner",
        "test_categorical",
        "test_distributed",
        "test_weights",
    ],
    "bin_statistics.py": ["test_tables"],
    "categories.py": ["test_categorical", "test_distributed", "test_weights"],
    "column_options.py": ["test_binner", "test_categorical"],
    "json_checks.py": ["test_persistence", "test_weights"],
    "json_text.py": ["test_persistence"],
    "optimal.py": ["test_optimal_fit", "test_binner", "test_distributed"],
    "weighted.py": ["test_weights", "test_binner"],
    "prebinning.py": ["test_prebinning", "test_optimal_fit", "test_counts", "test_distributed"],
    "reports.py": ["test_binner", "test_package_diagnostics"],
    "report.py": ["test_report"],
    "score_plots.py": ["test_report"],
    "selection.py": ["test_scorecard", "test_report"],
    "points.py": ["test_scorecard"],
    "scorecard.py": ["test_scorecard", "test_distributed"],
    "scorecard_json.py": ["test_scorecard"],
    "performance.py": ["test_scorecard", "test_distributed"],
    "monitoring.py": ["test_scorecard", "test_distributed"],
}
# Imported once and shared by every forked test run; tembrolin itself is imported in each
# child only, from the mutated copy. Polars and distributed start threads: not before a fork.
PRELOADED = ["numpy", "pandas", "scipy.sparse", "sklearn.utils.estimator_checks", "narwhals"]
PRELOADED += ["matplotlib", "_tembrolin"]
# The package's exports, and its messages.
SKIPPED = {"__init__.py", "_errors.py"}
# Mutants no test can see, keyed as `--list` prints them (the line moves with edits above it):
# each changes nothing a user could observe, for the reason given beside it.
STRICT = "the zipped sequences are built to the same length"
EQUIVALENT = {
    "_frames.py:154: True -> False": STRICT,
    "categories.py:173: True -> False": STRICT,
    "score_plots.py:61: True -> False": STRICT,
    "categories.py:43: True -> False": STRICT,
    "categories.py:191: True -> False": STRICT,
    "json_checks.py:175: True -> False": STRICT,
    "json_checks.py:185: True -> False": STRICT,
    "score_plots.py:34: True -> False": STRICT,
    "request.py:197: True -> False": STRICT,
    "cluster/counting.py:169: True -> False": STRICT,
    "cluster/diagnostics.py:92: True -> False": STRICT,
    "diagnostics.py:100: True -> False": STRICT,
    "report.py:75: True -> False": STRICT,
    "scorecard.py:247: True -> False": STRICT,
    # An empty band's rate is 0/0, NaN either way; 0.001 itself is written one way or another.
    "performance.py:135: > -> >= in count > 0": "NaN either way",
    "report.py:60: < -> <= in abs(number) < 0.001": "formatting",
    # The last part of a reference is the same however many parts are split off.
    "json_checks.py:69: 1 -> 2": "same last part",
    # Weighted totals are compared to a relative tolerance, which is symmetric.
    "json_checks.py:182: swapped the first two arguments of math.isclose": "symmetric",
    # Infinities are the only floats written as text: compared with 0 or 1 alike.
    "persistence.py:31: > -> >= in value > 0": "infinities only",
    "persistence.py:31: 0 -> 1": "infinities only",
    # A tree's children always come after their parent: an inner node's left child is >= 1.
    "prebinning.py:88: 0 -> 1": "never a child at 0",
    "prebinning.py:106: swapped the first two arguments of max": "symmetric",
    # Tree and boundary pre-bins are the same with the classes swapped.
    "weighted.py:90: != -> == in classes[order][finite] != 0": "label-symmetric pre-bins",
    "weighted.py:90: 0 -> 1": "label-symmetric pre-bins",
    # One start more than there are slots is never read.
    "weighted.py:115: 1 -> 2": "unread",
    # Callers ask for positions from 0 to W - 1: the clamp only guards a total under one.
    "weighted.py:46: > -> >= in cumulative[-1] > 1.0": "a guard",
    "weighted.py:46: - -> + in cumulative[-1] - 1.0": "a guard",
    "weighted.py:46: swapped the first two arguments of min": "symmetric",
    "weighted.py:46: swapped the first two arguments of max": "symmetric",
    # A weight of zero leaves its row out: every category counted has rows.
    "categories.py:136: 0 -> 1": "an empty group cannot occur",
    "categories.py:175: > -> >= in s0 + s1 > 0": "a special value of no rows reports the same "
    "empty row whether its count of zero is listed or not",
    # The next-bin test only reads the smallest expected count, the same for the table
    # transposed; with no rows at all (n = 0) Fisher's test decides whatever its shape.
    "bin_statistics.py:72: swapped the first two arguments of np.outer": "symmetric",
    "bin_statistics.py:72: 2 -> 3": "Fisher's test decides",
    "bin_statistics.py:110: swapped the first two arguments of hellinger": "symmetric",
    # Pre-bins past the last group hold no rows, and the search makes no empty bin.
    "categories.py:126: - -> + in len(self.groups) - 1": "empty pre-bins",
    # The missing row's representative is NaN, as is the value appended for unknown ones.
    "encoding.py:26: 1 -> 2": "the missing row reads NaN either way",
    "request.py:162: 1 -> 2": "a second thread gives the same fit",
    "request.py:164: or -> and in os.cpu_count() or 1": "one thread gives the same fit",
    "sample.py:96: negated condition request.workers == 1": "a pool gives the same fit",
    # Dask's meta of reason_codes: an empty frame of the same columns either way.
    "scorecard.py:234: swapped the first two arguments of points.reasons": "empty meta",
    # One variable has no other to correlate with: the matrix is never read.
    "selection.py:30: 1 -> 2": "unread",
    # The percentile's report is that of a constant x: there is no first split to force.
    "target.py:92: False -> True": "no split",
    "target.py:92: 0 -> 1": "no split",
    "target.py:92: 1.0 -> 2.0": "no split",
    # The core applies the rate rule only with a direction.
    "bins.py:78: 0 -> 1": "no direction, no rule",
    # Chi-square, Fisher's two-sided test, Jensen-Shannon and merged counts do not depend
    # on the order of their two sides.
    "bin_statistics.py:91: swapped the first two arguments of next_bin_test": "symmetric",
    "cluster/counting.py:156: swapped the first two arguments of counted.merge_counts": "symmetric",
    "counted.py:103: swapped the first two arguments of merge_counts": "symmetric",
    "cluster/counting.py:182: swapped the first two arguments of zip": "symmetric",
    "tables.py:100: swapped the first two arguments of bin_statistics.js_terms": "symmetric",
    # Reusing the search's rows when every median is zero changes only the sign of those
    # zeros, alike on every path (sample, counts, cluster).
    "fitting.py:70: == -> != in summary['representative'] == 0.0": "a zero's sign",
}
# The second value of report._text only right-aligns a cell.
EQUIVALENT |= {f"report.py:{n}: False -> True": "alignment" for n in (53, 63, 66, 67)}
EQUIVALENT |= {f"report.py:{n}: True -> False": "alignment" for n in (55, 59, 61)}
# Drawing details that no number of the package depends on.
COSMETIC = {"figsize", "fontsize", "rotation", "linewidth", "color", "marker", "ha"}

COMPARE = {ast.Lt: ast.LtE, ast.LtE: ast.Lt, ast.Gt: ast.GtE, ast.GtE: ast.Gt}
COMPARE |= {ast.Eq: ast.NotEq, ast.NotEq: ast.Eq, ast.In: ast.NotIn, ast.NotIn: ast.In}
COMPARE |= {ast.Is: ast.IsNot, ast.IsNot: ast.Is}
ARITHMETIC = {ast.Add: ast.Sub, ast.Sub: ast.Add, ast.Mult: ast.Div, ast.Div: ast.Mult}
ARITHMETIC |= {ast.FloorDiv: ast.Div, ast.Mod: ast.FloorDiv, ast.Pow: ast.Mult}
ARITHMETIC |= {ast.BitAnd: ast.BitOr, ast.BitOr: ast.BitAnd}
SYMBOL = {ast.Lt: "<", ast.LtE: "<=", ast.Gt: ">", ast.GtE: ">=", ast.Eq: "==", ast.NotEq: "!="}
SYMBOL |= {ast.In: "in", ast.NotIn: "not in", ast.Is: "is", ast.IsNot: "is not"}
SYMBOL |= {ast.Add: "+", ast.Sub: "-", ast.Mult: "*", ast.Div: "/", ast.FloorDiv: "//"}
SYMBOL |= {ast.Mod: "%", ast.Pow: "**", ast.BitAnd: "&", ast.BitOr: "|"}
SYMBOL |= {ast.And: "and", ast.Or: "or"}


@dataclass
class Mutant:
    """One point changed: the child `index` (or the field itself) of `parent.field`."""

    module: str
    line: int
    change: str
    parent: ast.AST
    field: str
    index: int | None
    new: ast.AST

    def swap(self, node: ast.AST) -> ast.AST:
        """Puts `node` in the mutated place and returns what was there."""
        if self.index is None:
            old = getattr(self.parent, self.field)
            setattr(self.parent, self.field, node)
        else:
            children = getattr(self.parent, self.field)
            old, children[self.index] = children[self.index], node
        return old

    @property
    def key(self) -> str:
        return f"{self.module}:{self.line}: {self.change}"

    def source(self, tree: ast.Module) -> str:
        old = self.swap(self.new)
        try:
            return ast.unparse(tree)
        finally:
            self.swap(old)


def _replacements(node: ast.AST) -> Iterator[tuple[str, ast.AST]]:
    """The one-point changes of a node, each as (description, replacement)."""
    text = ast.unparse(node) if not isinstance(node, ast.operator) else ""
    if isinstance(node, ast.Compare):
        for i, op in enumerate(node.ops):
            if type(op) in COMPARE:
                new = copy.copy(node)
                new.ops = [*node.ops[:i], COMPARE[type(op)](), *node.ops[i + 1 :]]
                yield f"{SYMBOL[type(op)]} -> {SYMBOL[COMPARE[type(op)]]} in {text}", new
    elif isinstance(node, (ast.BinOp, ast.AugAssign)) and type(node.op) in ARITHMETIC:
        new = copy.copy(node)
        new.op = ARITHMETIC[type(node.op)]()
        yield f"{SYMBOL[type(node.op)]} -> {SYMBOL[type(new.op)]} in {text}", new
    elif isinstance(node, ast.BoolOp):
        new = copy.copy(node)
        new.op = ast.Or() if isinstance(node.op, ast.And) else ast.And()
        yield f"{SYMBOL[type(node.op)]} -> {SYMBOL[type(new.op)]} in {text}", new
    elif isinstance(node, ast.UnaryOp) and not isinstance(node.op, ast.UAdd):
        yield f"dropped {text[: len(text) - len(ast.unparse(node.operand))].strip()}", node.operand
    elif isinstance(node, ast.Constant) and isinstance(node.value, (bool, int, float)):
        value = node.value
        if isinstance(value, bool):
            changed: object = not value
        elif isinstance(value, int):
            changed = value + 1
        else:
            changed = value * 2 if value else 1.0
        yield f"{value!r} -> {changed!r}", ast.Constant(changed)
    elif isinstance(node, ast.Call):
        positional = node.args
        fatal = isinstance(node.func, ast.Name) and node.func.id == "isinstance"
        if (
            len(positional) >= 2
            and not fatal
            and not any(isinstance(a, ast.Starred) for a in positional[:2])
            and ast.dump(positional[0]) != ast.dump(positional[1])  # a swap that changes nothing
        ):
            new = copy.copy(node)
            new.args = [positional[1], positional[0], *positional[2:]]
            yield f"swapped the first two arguments of {ast.unparse(node.func)}", new


def _negated(test: ast.expr) -> tuple[str, ast.AST]:
    return f"negated condition {ast.unparse(test)}", ast.UnaryOp(ast.Not(), test)


def _skipped_fields(node: ast.AST) -> set[str]:
    """The fields of a node that hold no logic worth a mutant."""
    if isinstance(node, (ast.FunctionDef, ast.AsyncFunctionDef)):
        return {"returns", "decorator_list", "args", "type_params"}
    if isinstance(node, ast.ClassDef):
        return {"decorator_list", "bases", "keywords"}
    if isinstance(node, ast.AnnAssign):
        return {"annotation", "value"}  # class fields: declarations and defaults
    if isinstance(node, ast.Raise):
        return {"exc", "cause"}
    if isinstance(node, ast.keyword) and node.arg in COSMETIC:
        return {"value"}
    return set()


def _children(node: ast.AST) -> Iterator[tuple[str, int | None, ast.AST]]:
    skipped = _skipped_fields(node)
    for name, value in ast.iter_fields(node):
        if name in skipped:
            continue
        items = enumerate(value) if isinstance(value, list) else [(None, value)]
        for index, child in items:
            if isinstance(child, ast.AST):
                yield name, index, child


def _is_docstring(node: ast.AST) -> bool:
    return isinstance(node, ast.Expr) and isinstance(node.value, ast.Constant)


def mutants(module: str, tree: ast.Module) -> list[Mutant]:
    """Every one-point change of a module's logic."""
    found = []

    def visit(parent: ast.AST) -> None:
        for field, index, child in _children(parent):
            if _is_docstring(child) or isinstance(child, (ast.JoinedStr, ast.ImportFrom)):
                continue
            line = getattr(child, "lineno", getattr(parent, "lineno", 0))
            changes = list(_replacements(child))
            if field == "test" and not isinstance(child, ast.UnaryOp):  # if, while, assert
                changes.append(_negated(child))
            if isinstance(parent, ast.Slice) and not isinstance(child, ast.Constant):
                bumped = ast.BinOp(child, ast.Add(), ast.Constant(1))
                changes.append((f"slice bound {ast.unparse(child)} -> +1", bumped))
            for change, new in changes:
                found.append(Mutant(module, line, change, parent, field, index, new))
            visit(child)

    visit(tree)
    return found


def tests_for(module: str) -> list[str]:
    return ["test_distributed"] if module.startswith("cluster/") else TESTS[module]


def _run_file(name: str, package_root: Path, timeout: float) -> int | None:
    """The exit code of pytest on one test file, in a child forked from this process (whose
    heavy imports it shares, so a mutant costs a test run, not an interpreter start), or
    None past the timeout; the child's own processes (Dask workers) end with it."""
    pid = os.fork()
    if pid == 0:
        os.setsid()
        quiet = os.open(os.devnull, os.O_WRONLY)
        os.dup2(quiet, 1)
        os.dup2(quiet, 2)
        sys.path.insert(0, str(package_root))
        os.environ["PYTHONPATH"] = str(package_root)  # for the Dask workers
        os.chdir(ROOT)
        # The short hypothesis profile (that of the sanitized runs): a mutant seldom needs more.
        options = ["-x", "-q", "-p", "no:cacheprovider", "--hypothesis-profile=sanitized"]
        code = pytest.main([*options, f"tests/{name}.py"])
        os._exit(int(code))
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        done, status = os.waitpid(pid, os.WNOHANG)
        if done:
            return os.waitstatus_to_exitcode(status)
        time.sleep(0.05)
    os.killpg(pid, signal.SIGKILL)
    os.waitpid(pid, 0)
    return None


def run_tests(files: list[str], package_root: Path, timeout: float) -> str:
    """ "killed", "survived" or "timeout": the files one by one, to the first failure, so
    that a mutant its own module's tests kill costs one short run."""
    deadline = time.monotonic() + timeout
    for name in files:
        code = _run_file(name, package_root, max(deadline - time.monotonic(), 1.0))
        if code is None:
            return "timeout"
        if code != 0:
            return "killed"
    return "survived"


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--modules", help="comma-separated paths under src/tembrolin")
    parser.add_argument("--sample", type=float, default=0.2, help="share of mutants to run")
    parser.add_argument("--seed", type=int, default=0)
    parser.add_argument("--list", action="store_true", help="list the mutants, run nothing")
    parser.add_argument(
        "--match", action="append", help="only the mutants whose key holds this text (repeatable)"
    )
    options = parser.parse_args()

    paths = sorted(p.relative_to(SOURCE).as_posix() for p in SOURCE.rglob("*.py"))
    paths = [p for p in paths if p not in SKIPPED]
    if options.modules:
        paths = [p for p in paths if p in options.modules.split(",")]
    chosen = {}
    equivalent: list[str] = []
    for module in paths:
        tree = ast.parse((SOURCE / module).read_text(encoding="utf-8"))
        # Seeded per module: a module's sample does not depend on which others run.
        rng = random.Random(f"{options.seed}:{module}")
        every = mutants(module, tree)
        # A key left behind by an edit would skip nothing, or the wrong mutant: say so.
        stale = {k for k in EQUIVALENT if k.startswith(f"{module}:")} - {m.key for m in every}
        for key in sorted(stale):
            sys.stderr.write(f"{key}: no such mutant; update EQUIVALENT\n")
        sampled = [m for m in every if rng.random() < options.sample]
        sampled = [m for m in sampled if any(t in m.key for t in options.match or [""])]
        equivalent += [m.key for m in sampled if m.key in EQUIVALENT]
        chosen[module] = (tree, [m for m in sampled if m.key not in EQUIVALENT])
    if options.list:
        for _, found in chosen.values():
            for m in found:
                sys.stdout.write(f"{m.key}\n")
        return 0

    # The preloaded libraries' thread pools (OpenBLAS) are fork-safe.
    warnings.filterwarnings("ignore", "This process .* is multi-threaded", DeprecationWarning)
    for name in PRELOADED:
        importlib.import_module(name)
    tally = {"killed": 0, "survived": 0, "timeout": 0}
    survivors = []
    with tempfile.TemporaryDirectory(prefix="tembrolin-mutants-") as folder:
        root = Path(folder)
        package = root / "tembrolin"
        located = importlib.util.find_spec("tembrolin")
        assert located is not None and located.submodule_search_locations, "not installed"
        installed = located.submodule_search_locations[0]
        shutil.copytree(installed, package, ignore=shutil.ignore_patterns("__pycache__"))
        for module, (tree, found) in chosen.items():
            target = package / module
            if target.read_bytes() != (SOURCE / module).read_bytes():
                sys.stderr.write(f"{module}: the installed copy is not the source: rebuild\n")
                return 1
            if not found:
                continue
            files = tests_for(module)
            # Unmutated first: the time limit is a multiple of a clean run's.
            start = time.monotonic()
            if run_tests(files, root, 3600) != "survived":
                sys.stderr.write(f"{module}: the suite fails without a mutant\n")
                return 1
            limit = 3 * (time.monotonic() - start) + 30
            original = target.read_bytes()
            try:
                for m in found:
                    target.write_text(m.source(tree), encoding="utf-8")
                    outcome = run_tests(files, root, limit)
                    tally[outcome] += 1
                    line = m.key
                    if outcome != "killed":
                        survivors.append(f"{line} ({outcome})")
                    sys.stdout.write(f"{outcome}: {line}\n")
                    sys.stdout.flush()
            finally:
                target.write_bytes(original)
            sys.stdout.write(f"{module}: {len(found)} mutants done\n")
    total = sum(tally.values())
    # A mutant that hangs the suite is seen, as a fault that fails it is.
    score = (tally["killed"] + tally["timeout"]) / total if total else 1.0
    sys.stdout.write(
        f"\n{total} mutants: {tally['killed']} killed, {tally['survived']} survived, "
        f"{tally['timeout']} timed out; score {score:.1%}; {len(equivalent)} equivalent skipped\n"
    )
    for line in equivalent:
        sys.stdout.write(f"  equivalent: {line} ({EQUIVALENT[line]})\n")
    for line in survivors:
        sys.stdout.write(f"  {line}\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())

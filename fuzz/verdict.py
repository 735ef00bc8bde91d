"""What the fuzzers judge: whether an error is one of the package's own messages, and
whether a fitted binner's tables are consistent; the counts of a run."""

from __future__ import annotations

import re
import time
import traceback
from collections.abc import Callable
from dataclasses import dataclass, field
from pathlib import Path

import numpy as np

import tembrolin

PACKAGE = Path(tembrolin.__file__).parent
# Words of an English message that no Spanish message of the package holds.
ENGLISH = re.compile(
    r"\b(the|must|is|not|could|cannot|expected|object|invalid|unable|incompatible|should|got"
    r"|argument|unhashable|with|has|does|only|of)\b",
    re.IGNORECASE,
)
QUOTED = re.compile(r"'[^']*'|\"[^\"]*\"|\([^()]*\)")
OURS = (ValueError, TypeError, KeyError, MemoryError, OSError)


def foreign_error(error: BaseException) -> str | None:
    """Why `error` is not one of the package's messages, or None when it is: an allowed type,
    raised by the package's own code (or its core's checks), in Spanish."""
    if not isinstance(error, OURS) or type(error).__module__ != "builtins":
        return f"tipo {type(error).__module__}.{type(error).__name__}"
    frames = traceback.extract_tb(error.__traceback__)
    if frames and not Path(frames[-1].filename).is_relative_to(PACKAGE):
        return f"lanzado fuera del paquete, en {frames[-1].filename}:{frames[-1].lineno}"
    text = str(error.args[0]) if error.args else ""
    # Three words at least: a bare KeyError('params') from indexing is no message.
    if len(text.split()) < 3 or ENGLISH.search(QUOTED.sub("", text)):
        return "mensaje sin texto en español"
    return None


def table_faults(binner: tembrolin.Binner) -> list[str]:
    """What does not add up in the binner's tables, column by column."""
    faults = []
    totals = set()
    for name in binner.columns_:
        table = binner.table(name)
        rows, total = table.iloc[:-1], table.iloc[-1]
        count = rows["count"].to_numpy()
        if (count < 0).any() or (rows["non_events"] + rows["events"] != rows["count"]).any():
            faults.append(f"{name}: c0 + c1 != count")
        for key in ("count", "non_events", "events"):
            if rows[key].sum() != total[key]:
                faults.append(f"{name}: la suma de {key} no es el total")
        if total["count"] and not np.isclose(rows["share"].sum(), 1.0):
            faults.append(f"{name}: las proporciones suman {rows['share'].sum()}")
        rate = np.divide(rows["events"], count, out=np.zeros(len(count)), where=count > 0)
        if not np.allclose(rows["event_rate"], rate, rtol=1e-12, atol=0):
            faults.append(f"{name}: event_rate != events / count")
        if not np.isfinite(rows["woe"]).all():
            faults.append(f"{name}: WoE no finito")
        totals.add((int(total["count"]), int(total["events"])))
    if len(totals) > 1:
        faults.append(f"totales distintos entre columnas: {sorted(totals)}")
    return faults


@dataclass
class Counts:
    """The tally of a run; `failures` holds a line per failing case."""

    name: str
    cases: int = 0
    refusals: int = 0
    successes: int = 0
    failures: list[str] = field(default_factory=list)

    def line(self, success_word: str) -> str:
        return (
            f"{self.name}: {self.cases} casos, {self.refusals} rechazos, "
            f"{self.successes} {success_word}, {len(self.failures)} fallos"
        )


def tally(
    name: str,
    one_case: Callable[[np.random.Generator], tuple[str, str | None]],
    seed: int,
    cases: int,
    seconds: float,
) -> Counts:
    """Runs `one_case` (which says "refusal" or a success, and the failure or None) up to
    `cases` times or for `seconds`, drawing from `seed`."""
    rng = np.random.default_rng(seed)
    counts = Counts(name)
    deadline = time.monotonic() + seconds
    while counts.cases < cases and time.monotonic() < deadline:
        outcome, failure = one_case(rng)
        counts.cases += 1
        counts.refusals += outcome == "refusal"
        counts.successes += outcome != "refusal"
        if failure:
            counts.failures.append(failure)
    return counts

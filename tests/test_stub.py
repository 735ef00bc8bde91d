"""The stub lists each function's parameters as the module takes them: names, order and
defaults. stubtest sees no parameters of a pybind11 function (it has no text signature),
so they are read here from the signature line pybind11 puts first in each docstring."""

import ast
import math
import re
from pathlib import Path

import pytest

import _tembrolin
from tembrolin import _native

BINDINGS = Path(__file__).parents[1] / "bindings"
STUBBED = {
    (module, node.name): node.args
    for module, stub in ((_tembrolin, "_tembrolin.pyi"), (_native, "_native.pyi"))
    for node in ast.parse((BINDINGS / stub).read_text()).body
    if isinstance(node, ast.FunctionDef)
}
NO_DEFAULT = object()


def default(node: ast.expr) -> object:
    """A literal, or infinity as the module prints it (inf) and the stub writes it."""
    return math.inf if ast.unparse(node) in ("inf", "math.inf") else ast.literal_eval(node)


def parameters(args: ast.arguments) -> list[tuple[str | None, object]]:
    """(name, default) per parameter. A positional-only parameter, or one pybind11 left
    unnamed (arg0, arg1, ...), has no name a caller can use: None."""
    named = args.posonlyargs + args.args
    defaults = [NO_DEFAULT] * (len(named) - len(args.defaults)) + args.defaults
    return [
        (
            None if a in args.posonlyargs or re.fullmatch(r"arg\d+", a.arg) else a.arg,
            d if d is NO_DEFAULT else default(d),
        )
        for a, d in zip(named, defaults, strict=True)
    ]


def module_arguments(module, name: str) -> ast.arguments:
    signature = getattr(module, name).__doc__.splitlines()[0]
    return ast.parse(f"def {signature}: ...").body[0].args


@pytest.mark.parametrize("module, name", STUBBED, ids=[f"{m.__name__}.{n}" for m, n in STUBBED])
def test_stub_parameters_match_the_module(module, name):
    assert parameters(STUBBED[module, name]) == parameters(module_arguments(module, name))

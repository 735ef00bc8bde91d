from decimal import Decimal

import numpy as np
import pytest
from bitwise import assert_same

import _tembrolin as t
from tembrolin import _native


def test_module_docstring():
    assert t.__doc__ == "Python c_api bindings for the tembrolin C++ library"


def test_suma_adds_as_floats_and_takes_positional_arguments_only():
    assert t.suma(1, 2) == 3.0 and type(t.suma(1, 2)) is float
    with pytest.raises(TypeError):
        t.suma(a=1, b=2)


DOCS = {
    "suma": "Suma dos valores",
    "compute_boundaries": "Calcula boundaries; requiere que x,y ya vengan limpios/ordenados "
    "(sorted=True)",
    "compute_boundaries_raw": "Prepara y calcula boundaries en una única llamada nativa",
    "preprocess_data_native": "Preprocesado compartido: filtra, binariza y ordena en C++",
    "evaluate_segment": "Evalúa un segmento concreto (datos ya preprocesados y boundaries ya "
    "calculados)",
    "mdlp_full": "Algoritmo MDLP completo + resumen de segmentos finales",
    "mdlp": "Algoritmo MDLP completo (datos ya limpios/ordenados)",
    "mdlp_raw": "Prepara y ejecuta MDLP en una única llamada nativa",
    "mdlp_full_raw": "Prepara, ejecuta MDLP y resume missing en una única llamada nativa",
    # The binning and diagnostics functions carry the signature line only.
    **dict.fromkeys(["binning_splits", "binning_transform", "lorenz_curve_native"]),
    "aggregate_membership_native": None,
}


@pytest.mark.parametrize("name, doc", DOCS.items(), ids=DOCS.keys())
def test_docstrings(name, doc):
    text = getattr(t, name).__doc__.strip()
    assert text.endswith(doc) if doc else text.count("\n") == 0


def test_value_conversion():
    x, y = [1.0, 2.0, 3.0], [0.0, 5.0, 10.0]
    # An int is the value 0.0; None means no value (the median, 5, is used).
    assert list(t.compute_boundaries_raw(x, y, value=0)["c1"]) == [0, 0, 2]
    assert list(t.compute_boundaries_raw(x, y, value=None)["c1"]) == [0, 0, 1]
    assert list(t.compute_boundaries_raw(x, y, value=np.float32(7))["c1"]) == [0, 0, 1]
    assert list(t.compute_boundaries_raw(x, y, value=Decimal(7))["c1"]) == [0, 0, 1]


MDLP_ARGS = (0, 0, 0, 1.0, 1.0, False)
VALUE_TAKERS = {
    "preprocess_data_native": lambda v: t.preprocess_data_native([1.0], [0.5], value=v),
    "compute_boundaries_raw": lambda v: t.compute_boundaries_raw([1.0], [0.5], value=v),
    "mdlp_raw": lambda v: t.mdlp_raw([1.0], [0.5], *MDLP_ARGS, value=v),
    "mdlp_full_raw": lambda v: t.mdlp_full_raw([1.0], [0.5], *MDLP_ARGS, value=v),
    "mdlp_fit": lambda v: _native.mdlp_fit([1.0], [0.5], *MDLP_ARGS, value=v),
}


@pytest.mark.parametrize("bad", ["1.0", [1.0], 1j, 10**400], ids=["str", "list", "complex", "huge"])
@pytest.mark.parametrize("call", VALUE_TAKERS.values(), ids=VALUE_TAKERS)
def test_value_of_a_wrong_type_is_a_type_error(call, bad):
    with pytest.raises(TypeError, match=r"^value debe ser None o un número real$"):
        call(bad)


@pytest.mark.parametrize("bad_sorted, accepted", [(None, False), (1, True), (np.bool_(True), True)])
def test_bool_conversion(bad_sorted, accepted):
    if accepted:
        t.compute_boundaries([1.0], [0], sorted=bad_sorted)
    else:
        with pytest.raises(ValueError, match="usa sorted=True"):
            t.compute_boundaries([1.0], [0], sorted=bad_sorted)


def test_arrays_are_read_flat_whatever_their_shape():
    out = t.compute_boundaries(np.arange(6.0).reshape(2, 3), [0, 0, 0, 1, 1, 1])
    assert list(out["pto_corte"]) == [0.0, 2.5, 5.0]
    assert list(t.compute_boundaries(7.0, 1)["c1"]) == [0, 1]


def test_functions_are_registered_in_order():
    names = [name for name in vars(t) if not name.startswith("_")]
    assert names == [
        *("suma", "compute_boundaries", "compute_boundaries_raw", "evaluate_segment"),
        *("mdlp_full", "mdlp", "mdlp_raw", "mdlp_full_raw", "preprocess_data_native"),
        *("binning_splits", "binning_transform", "binning_summary_binary"),
        *("binning_summary_continuous", "compare_distributions_native", "lorenz_curve_native"),
        *("membership_native", "aggregate_membership_native"),
    ]


TABLE = (np.array([1.0, 2.0, 3.0]), np.array([0, 1, 1]), np.array([0, 0, 2]))
UNCONVERTIBLE = {
    "negative-unsigned": (-1, 2, 0, 0),
    "float-for-unsigned": (0.0, 2, 0, 0),
    "float-for-int64": (0, 2, 3.0, 0),
    "int32-overflow": (0, 2, 0, 2**31),
    "int64-overflow": (0, 2, 2**63, 0),
}


@pytest.mark.parametrize("args", UNCONVERTIBLE.values(), ids=UNCONVERTIBLE.keys())
def test_arguments_that_do_not_convert_raise_type_error(args):
    with pytest.raises(TypeError):
        t.evaluate_segment(*TABLE, *args, 0, 1.0, 1.0)


def test_missing_or_unconvertible_arguments_raise_type_error():
    with pytest.raises(TypeError):
        t.mdlp([1.0], [0], monotonicity=0, mono_dir=0, alpha_pos=1.0, beta_struct=1.0)
    with pytest.raises(TypeError):
        t.compute_boundaries([1.0], [[0, "a"]])


def misaligned(a):
    """A copy of a in a buffer that starts one byte past an aligned address."""
    out = np.frombuffer(bytearray(a.nbytes + 1), a.dtype, count=a.size, offset=1)
    out = out.reshape(a.shape)
    out[...] = a
    assert not out.flags.aligned
    return out


F, I32, I64 = np.float64, np.int32, np.int64
RAW = [([3.0, 1.0, 2.0, np.nan, 5.0, 4.0], F), ([0.0, 1.0, 2.0, 1.0, 0.5, 3.0], F)]
CLEAN = [([1.0, 2.0, 2.0, 3.0, 4.0, 5.0], F), ([0, 0, 1, 1, 0, 1], I32)]
SEGMENT = [([1.0, 2.0, 3.0], F), ([0, 1, 1], I64), ([0, 0, 2], I64)]
MDLP = (0, 0, 0, 1.0, 1.0, True)
CALLS = {  # a call, then each of its array arguments as (values, dtype)
    "compute_boundaries": (t.compute_boundaries, CLEAN),
    "compute_boundaries_raw": (t.compute_boundaries_raw, RAW),
    "evaluate_segment": (lambda *c: t.evaluate_segment(*c, 0, 2, 0, 0, 0, 1.0, 1.0), SEGMENT),
    "mdlp_full": (lambda x, y: t.mdlp_full(x, y, *MDLP), CLEAN),
    "mdlp": (lambda x, y: t.mdlp(x, y, *MDLP), CLEAN),
    "mdlp_raw": (lambda x, y: t.mdlp_raw(x, y, *MDLP), RAW),
    "mdlp_full_raw": (lambda x, y: t.mdlp_full_raw(x, y, *MDLP), RAW),
    "preprocess_data_native": (t.preprocess_data_native, RAW),
    "binning_splits": (
        lambda x, s: t.binning_splits(x, "custom", 3, "full", 0.0, 1.0, 1.5, s),
        [RAW[0], ([1.0, 2.5], F)],
    ),
    "binning_splits-quantile": (
        lambda x: t.binning_splits(x, "quantile", 3, "", 0, 1, 0, []),
        [RAW[0]],
    ),
    "binning_transform": (t.binning_transform, [RAW[0], ([2.5, 1.0], F)]),
    "binning_summary_binary": (t.binning_summary_binary, [*CLEAN, ([2.5], F)]),
    "binning_summary_continuous": (t.binning_summary_continuous, [*RAW, ([2.5], F)]),
    "compare_distributions_native": (t.compare_distributions_native, [*RAW, ([1.0, 2.5], F)]),
    "lorenz_curve_native": (t.lorenz_curve_native, CLEAN),
    "membership_native": (t.membership_native, [RAW[0], ([1.0, 4.0], F)]),
    "aggregate_membership_native": (
        t.aggregate_membership_native,
        [([[0.5, 0.5], [1.0, 0.0]], F), ([2.0, 4.0], F)],
    ),
}


@pytest.mark.parametrize("call, arrays", CALLS.values(), ids=CALLS.keys())
def test_misaligned_arrays_give_the_aligned_result(call, arrays):
    aligned = [np.asarray(values, dtype) for values, dtype in arrays]
    assert_same(call(*map(misaligned, aligned)), call(*aligned))

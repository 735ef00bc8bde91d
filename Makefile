# Every target sets up what it needs: the interpreter, the project's virtual
# environment, its dependencies and the build of the module.
SHELL := /bin/bash
VENV := .venv
PY := $(VENV)/bin/python
SOURCES := CMakeLists.txt pyproject.toml $(shell find core bindings -type f 2>/dev/null)
SANITIZE_DIR := build/sanitize
BENCH_DIR := build/bench
CHECK_DIR := build/check
# A plain CMake build beside the one pip makes, for the sanitized module and the C++ bench.
CONFIGURE = $(VENV)/bin/cmake -S . -G Ninja -DCMAKE_MAKE_PROGRAM=$(abspath $(VENV)/bin/ninja) \
    -DSKBUILD_PROJECT_NAME=tembrolin -DSKBUILD_PROJECT_VERSION=0.1.0 \
    -DPython_EXECUTABLE=$(abspath $(PY)) -Dpybind11_DIR=$$($(PY) -m pybind11 --cmakedir) >/dev/null

.PHONY: demo test test-sanitize bench clean

$(PY):
	@interpreter=$$(scripts/find-python) && "$$interpreter" -m venv $(VENV)

$(VENV)/.deps: $(PY) pyproject.toml
	$(PY) -m pip install --quiet --upgrade pip
	$(PY) -m pip install --quiet "scikit-build-core>=0.10" "pybind11>=3,<4" cmake ninja \
	    "numpy>=2,<3" "pytest>=8" "hypothesis>=6"
	touch $@

$(VENV)/.built: $(VENV)/.deps $(SOURCES)
	$(PY) -m pip install --quiet --no-build-isolation --no-deps .
	touch $@

$(VENV)/.demo-deps: $(VENV)/.deps
	$(PY) -m pip install --quiet "scikit-learn>=1.5"
	touch $@

demo: $(VENV)/.built $(VENV)/.demo-deps
	$(PY) demo/main.py

# The suite also runs a C++ check of the vector code at every width the machine has.
test: $(VENV)/.built
	$(CONFIGURE) -B $(CHECK_DIR) -DCMAKE_BUILD_TYPE=Release -DTEMBROLIN_CHECKS=ON
	$(VENV)/bin/cmake --build $(CHECK_DIR) --target screen_check
	TEMBROLIN_CHECKS_DIR=$(abspath $(CHECK_DIR)) $(PY) -m pytest

# The same suite against a second build with AddressSanitizer and
# UndefinedBehaviorSanitizer; the first report aborts the run. The C++ runtime
# is preloaded with ASan so that its interception of exceptions finds it.
test-sanitize: $(VENV)/.deps
	$(CONFIGURE) -B $(SANITIZE_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTEMBROLIN_SANITIZE=ON \
	    -DTEMBROLIN_CHECKS=ON
	$(VENV)/bin/cmake --build $(SANITIZE_DIR)
	LD_PRELOAD="$$(g++ -print-file-name=libasan.so) $$(g++ -print-file-name=libstdc++.so)" ASAN_OPTIONS=detect_leaks=0:allocator_may_return_null=1 \
	    UBSAN_OPTIONS=print_stacktrace=1 TEMBROLIN_SANITIZED=$(abspath $(SANITIZE_DIR)) \
	    TEMBROLIN_CHECKS_DIR=$(abspath $(SANITIZE_DIR)) PYTHONPATH=$(abspath $(SANITIZE_DIR)) \
	    $(PY) -m pytest -p no:cacheprovider

bench: $(VENV)/.built
	$(CONFIGURE) -B $(BENCH_DIR) -DCMAKE_BUILD_TYPE=Release -DTEMBROLIN_BENCH=ON
	$(VENV)/bin/cmake --build $(BENCH_DIR) --target sort_gain
	$(BENCH_DIR)/sort_gain
	$(PY) -m bench

clean:
	rm -rf build $(VENV)

# Thin convenience layer over CMake. `make demo` runs the main job, `make test` the tests.
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
BUILD ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 40

.PHONY: deps build demo test test-report test-sanitize test-windows fuzz-ci bench compare-peers coverage format clean \
  calc-extension test-calc

deps:
	@bash scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	cmake --build $(BUILD) -j $(JOBS)

demo: build
	bash scripts/demo.sh $(BUILD)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# The report page drawn by headless Chromium (installs it; not part of `make test`).
test-report: build
	bash scripts/test-report.sh $(BUILD)

test-sanitize: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DQUAR_SANITIZE=ON -DQUAR_BENCH=OFF >/dev/null
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

# Every fuzz target for FUZZ_SECONDS from its seeds (libFuzzer, clang); what fails is kept in
# $(FUZZ_BUILD)/fuzz-artifacts.
fuzz-ci: deps
	CC=clang-14 CXX=clang++-14 cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DQUAR_FUZZ=ON -DQUAR_TESTS=OFF -DQUAR_BENCH=OFF >/dev/null
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzz_calls fuzz_columns fuzz_population \
	  fuzz_text fuzz_host_files fuzz_workbook
	bash scripts/fuzz-ci.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

# The Calc extension: a zip of the tracked files under calc/extension.
calc-extension:
	bash scripts/make-calc-extension.sh $(BUILD)/quarrow.oxt

# The extension, with quarrow packed inside, in a real, headless LibreOffice (installed first
# when missing).
test-calc:
	bash scripts/install-calc-deps.sh
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	cmake --build $(BUILD) -j $(JOBS) --target quarrow
	QUARROW_BIN=$(BUILD)/tools/quarrow/quarrow \
	  bash scripts/make-calc-extension.sh $(BUILD)/with-host/quarrow.oxt
	PYTHONDONTWRITEBYTECODE=1 timeout 900 /usr/bin/python3 calc/tests/test_calc.py \
	  --quarrow $(BUILD)/tools/quarrow/quarrow --oxt $(BUILD)/with-host/quarrow.oxt
	PYTHONDONTWRITEBYTECODE=1 timeout 300 /usr/bin/python3 calc/tests/test_calc_window.py \
	  --quarrow $(BUILD)/tools/quarrow/quarrow --oxt $(BUILD)/with-host/quarrow.oxt

test-windows:
	bash scripts/test-windows.sh

# The host's defaults against tuned scikit-learn models on the Weka tables (about 8 minutes).
compare-peers: build
	bash scripts/apt-install.sh python3-sklearn
	@if [ ! -d $(BUILD)/weka/usr/share/doc/weka/examples ]; then \
	  cd $(BUILD) && apt-get download weka && dpkg -x weka_*.deb weka; fi
	/usr/bin/python3 bench/compare_peers.py $(BUILD)/tools/quarrow/quarrow $(BUILD)/weka

bench: build
	@if [ -x $(BUILD)/bench/fann_compare ]; then $(BUILD)/bench/fann_compare; \
	else echo "fann_compare not built: install libfann-dev"; fi
	$(BUILD)/bench/training_bench
	$(BUILD)/bench/exp_bench

# Line coverage of src/ and tools/ by the whole suite (clang source-based coverage).
coverage: deps
	bash scripts/coverage.sh build-cov

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) build-win32 build-win64 build-i686 build-win32-native

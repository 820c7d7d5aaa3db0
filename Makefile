# Thin convenience layer over CMake. `make demo` runs the main job, `make test` the tests.
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
BUILD ?= build
ASAN_BUILD ?= build-asan

.PHONY: deps build demo test test-sanitize test-windows bench format clean calc-extension test-calc

deps:
	@bash scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	cmake --build $(BUILD) -j $(JOBS)

demo: build
	bash scripts/demo.sh $(BUILD)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

test-sanitize: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DQUAR_SANITIZE=ON -DQUAR_BENCH=OFF >/dev/null
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

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

test-windows:
	bash scripts/test-windows.sh

bench: build
	@if [ -x $(BUILD)/bench/fann_compare ]; then $(BUILD)/bench/fann_compare; \
	else echo "fann_compare not built: install libfann-dev"; fi
	$(BUILD)/bench/training_bench
	$(BUILD)/bench/exp_bench

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) build-win32 build-win64 build-i686 build-win32-native

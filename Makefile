# The two commands of the README: `make demo` and `make test`.
BUILD ?= build
WERROR ?=
JOBS ?= $(shell nproc)

.PHONY: deps configure build test demo bench asan clean

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(if $(WERROR),-DHLV_WERROR=$(WERROR)) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

test: build
	@cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) --timeout 300

demo: build
	@scripts/demo $(BUILD)

bench: deps
	@cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DHLV_BUILD_BENCH=ON -DHLV_BUILD_TESTS=OFF >/dev/null
	@cmake --build build-bench -j $(JOBS)
	@bench/run-bench build-bench/bin $(BENCH_ARGS)

# The whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer: every finding
# ends the program that made it, so the test fails.
asan: deps
	@cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DHLV_SANITIZE=ON $(if $(WERROR),-DHLV_WERROR=$(WERROR)) >/dev/null
	@cmake --build build-asan -j $(JOBS)
	@cd build-asan && QT_QPA_PLATFORM=offscreen \
		ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1 \
		LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/sanitizer-suppressions.txt \
		UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
		ctest --output-on-failure -j $(JOBS) --timeout 600

clean:
	@rm -rf $(BUILD) build-bench build-asan

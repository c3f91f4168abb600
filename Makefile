# The two commands of the README: `make demo` and `make test`.
BUILD ?= build
WERROR ?=
JOBS ?= $(shell nproc)

.PHONY: deps configure build test demo bench asan tsan clean

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

# The window's tests and the CUPS tests under ThreadSanitizer: a data race ends the program
# that met it, so its test fails. Qt is not instrumented; scripts/tsan-suppressions.txt
# says which of its own hand-offs are taken on trust, and why. Not part of CI. die_after_fork=0:
# a test program that has threads starts child programs (a monitor program, CUPS tools), and
# the child only runs exec.
tsan: deps
	@cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHLV_TSAN=ON $(if $(WERROR),-DHLV_WERROR=$(WERROR)) >/dev/null
	@cmake --build build-tsan -j $(JOBS)
	@cd build-tsan && QT_QPA_PLATFORM=offscreen \
		TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:die_after_fork=0:suppressions=$(CURDIR)/scripts/tsan-suppressions.txt \
		ctest --output-on-failure -j $(JOBS) --timeout 900 -L 'gui|cups'

clean:
	@rm -rf $(BUILD) build-bench build-asan build-tsan

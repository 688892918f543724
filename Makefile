# Thin wrapper over the CMake presets. `make run` and `make test` do all set-up.
.PHONY: run test setup build bench bench-pty bench-store format clean mutants lint package \
        package-check docs

run: setup
	cmake --preset release >/dev/null
	cmake --build --preset release
	./build/release/bin/devgroup $(ARGS)

test: setup
	cmake --preset asan >/dev/null
	cmake --build --preset asan
	ctest --preset asan

setup:
	@scripts/setup.sh

bench: setup
	cmake --preset release >/dev/null
	cmake --build --preset release
	scripts/run-benchmarks.sh build/release

# The editor beside `dialog --form` in a pseudo-terminal: first paint, key
# echo, and bytes written per typed letter and per page change.
bench-pty: setup
	cmake --preset release >/dev/null
	cmake --build --preset release
	./build/release/bin/pty_bench --devgroup build/release/bin/devgroup $(ARGS)

# The record store on a throwaway PostgreSQL server beside bare libpq on the
# same server: ratios, round trips, TCP and eight workstations saving at once.
bench-store: setup
	cmake --preset release >/dev/null
	cmake --build --preset release --target store_bench
	scripts/run-store-benchmark.sh build/release $(ARGS)

# libFuzzer targets of every reader (clang, AddressSanitizer, UBSan) in
# build/fuzz: `fuzz` runs each for FUZZ_SECONDS, `fuzz-long` to 10 million
# executions each (FUZZ_TARGETS="screen_file screen_run" runs only those).
FUZZ_SECONDS ?= 4
fuzz: setup
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz
	scripts/fuzz.sh build/fuzz --seconds $(FUZZ_SECONDS) $(FUZZ_TARGETS)

fuzz-long: setup
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz
	scripts/fuzz.sh build/fuzz --runs 10000000 $(FUZZ_TARGETS)

# Applies each breakage of scripts/mutants/mutants.list and reports which
# ones the module's tests did not catch.
mutants: setup
	scripts/mutants/run_mutants.py

# The Debian package build/devgroup_<version>_<arch>.deb from the release
# preset; only what it installs is built.
package: setup
	cmake --preset release >/dev/null
	cmake --build --preset release --target package_files
	cpack --preset release

# As root: builds the package, installs it, runs it as the user nobody,
# removes it again, and runs lintian over it (CI runs the script without
# lintian, which pulls in many packages).
package-check:
	scripts/package-check.sh --lintian

# Rewrites the README's tables of options, editor keys and host.conf keys
# from the program's own (a test fails while they differ).
docs: setup
	cmake --preset release >/dev/null
	cmake --build --preset release --target devgroup_docs
	./build/release/bin/devgroup_docs readme README.md

# clang-format in check mode and clang-tidy over the asan build.
lint: setup
	cmake --preset asan >/dev/null
	scripts/lint.sh build/asan

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build

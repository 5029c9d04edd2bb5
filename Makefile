# The two commands a new developer needs:
#   make run    install what is missing, build, and start the application
#   make test   install what is missing, build, and run every test
# SANITIZE=address,undefined (or thread) builds and tests in a separate tree.

SANITIZE ?=
comma := ,
ifeq ($(SANITIZE),)
  BUILD_DIR ?= build
  BUILD_TYPE ?= RelWithDebInfo
else
  BUILD_DIR ?= build-$(subst $(comma),-,$(SANITIZE))
  BUILD_TYPE ?= Debug
endif
JOBS ?= $(shell nproc)

# The review sheet: every effect before and after on the test portrait, one page each and an overview.
.PHONY: run test test-threads test-toolkit-sanitized effect-sheet bench bench-build bench-deps bench-report deps configure build clean format fuzz

run: build
	./$(BUILD_DIR)/glimora

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j$(JOBS)

# The thread checker on the test programs whose threads matter most: the image engine's (its band pool,
# render contexts and queues), the brush framework's (its background writes) and the documents' (saves,
# recovery records, background opening, the welcome window's tutorial). Its own tree, and only those
# programs built, so CI can afford it on every change (the document program alone runs about six
# minutes under it).
THREAD_CHECKED := PlatformImageTests ClassesBrushFrameworkTests ClassesDocumentTests
empty :=
space := $(empty) $(empty)
test-threads: deps
	@cmake -S . -B build-thread -G Ninja -DCMAKE_BUILD_TYPE=Debug -DGLIMORA_SANITIZE=thread >/dev/null
	@cmake --build build-thread -j$(JOBS) --target $(THREAD_CHECKED)
	@cd build-thread && status=0; ctest --output-on-failure -j$(JOBS) -R '^($(subst $(space),|,$(THREAD_CHECKED)))$$' || status=$$?; \
	if grep -q 'WARNING: ThreadSanitizer' Testing/Temporary/LastTest.log; then \
	    echo '== The thread checker'"'"'s first reports in short, so that a long log cut in the middle still shows them:'; \
	    grep -A60 -E 'WARNING: ThreadSanitizer|^\[ RUN' Testing/Temporary/LastTest.log \
	        | grep -B1 -A60 'WARNING: ThreadSanitizer' | grep -E 'RUN|WARNING|of size|Previous|#[0-3] |SUMMARY' \
	        | sed -e 's/ (\/.*\/\([^/]*\)+0x[0-9a-f]*)//' -e 's/ [^ ]*\/\([^/ ]*:[0-9]*\)/ \1/' | cut -c1-160 | head -n 24; \
	fi; exit $$status

# The toolkit's test program under address,undefined: its controls, views and services, with the
# randomised run of callers that delete from inside every action and report, so that a use after free
# fails CI. A tree of its own, and only that program built.
test-toolkit-sanitized: deps
	@cmake -S . -B build-address-undefined -G Ninja -DCMAKE_BUILD_TYPE=Debug -DGLIMORA_SANITIZE=address,undefined >/dev/null
	@cmake --build build-address-undefined -j$(JOBS) --target ClassesToolkitTests
	cd build-address-undefined && ctest --output-on-failure -j$(JOBS) -R '^ClassesToolkitTests$$'

effect-sheet: build
	@./$(BUILD_DIR)/tools/EffectSheet/effect-sheet sheet $(BUILD_DIR)/effect-sheet

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DGLIMORA_SANITIZE=$(SANITIZE) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j$(JOBS)

# The benchmarks' peers (OpenCV's image codecs) are needed by the benchmarks only.
bench-deps: deps
	@scripts/install-bench-deps

bench-build: bench-deps
	@cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DGLIMORA_BENCH=ON >/dev/null
	@cmake --build build-bench -j$(JOBS)

# Every benchmark program, one after the other: only executable files (the build folder also holds
# generated-code folders named after them), and not the report, which runs them itself.
bench: bench-build
	@set -e; for b in build-bench/bench/bench_*; do \
	    if [ -f "$$b" ] && [ -x "$$b" ] && [ "$${b##*/}" != bench_report ]; then "$$b"; fi; \
	done

# The ratio table: ours against the peer in the same program, medians of repeated runs, each memory
# figure from a process of its own.
bench-report: bench-build
	@build-bench/bench/bench_report

fuzz: deps
	@scripts/run-fuzzers

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build build-* 

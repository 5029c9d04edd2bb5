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

.PHONY: run test bench deps configure build clean format fuzz

run: build
	./$(BUILD_DIR)/glimora

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j$(JOBS)

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DGLIMORA_SANITIZE=$(SANITIZE) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j$(JOBS)

bench: deps
	@cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DGLIMORA_BENCH=ON >/dev/null
	@cmake --build build-bench -j$(JOBS)
	@for b in build-bench/bench/bench_*; do [ -f "$$b" ] && [ -x "$$b" ] && "$$b"; done

fuzz: deps
	@scripts/run-fuzzers

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build build-* 

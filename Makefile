# Newcomer commands (`make demo`, `make check`) and helpers. Each installs what it lacks.
ROOT        := $(abspath $(dir $(lastword $(MAKEFILE_LIST))))
BUILD       ?= $(ROOT)/build
JOBS        ?= $(shell nproc)
FUZZ_SECONDS ?= 60
CMAKE_GEN   := -G Ninja
export CCACHE_BASEDIR := $(ROOT)
export CCACHE_NOHASHDIR := 1

.PHONY: all deps demo check check-asan check-tsan bench fuzz format install clean

all: check

deps:
	@bash $(ROOT)/scripts/install-deps.sh

# configure DIR FLAGS...
define configure
	@cmake -S $(ROOT) -B $(1) $(CMAKE_GEN) $(2) >/dev/null
endef

demo: deps
	$(call configure,$(BUILD)/rel,-DCMAKE_BUILD_TYPE=RelWithDebInfo)
	@cmake --build $(BUILD)/rel --target krtool -j $(JOBS)
	@bash $(ROOT)/scripts/demo.sh $(BUILD)/rel/tools/krtool/krtool

check: deps
	$(call configure,$(BUILD)/rel,-DCMAKE_BUILD_TYPE=RelWithDebInfo)
	@cmake --build $(BUILD)/rel -j $(JOBS)
	@cd $(BUILD)/rel && ctest --output-on-failure -j $(JOBS)

# clang here, so that CI also proves the code compiles warning-free with the second compiler.
check-asan: deps
	@CC=clang CXX=clang++ cmake -S $(ROOT) -B $(BUILD)/asan-clang $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DKRSTD_SANITIZE=ON >/dev/null
	@cmake --build $(BUILD)/asan-clang -j $(JOBS)
	@cd $(BUILD)/asan-clang && ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j $(JOBS)

check-tsan: deps
	$(call configure,$(BUILD)/tsan,-DCMAKE_BUILD_TYPE=RelWithDebInfo -DKRSTD_TSAN=ON -DKRSTD_BUILD_TOOLS=OFF)
	@cmake --build $(BUILD)/tsan -j $(JOBS)
	@cd $(BUILD)/tsan && TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure -j $(JOBS)

bench:
	@bash $(ROOT)/scripts/install-deps.sh --bench
	$(call configure,$(BUILD)/bench,-DCMAKE_BUILD_TYPE=Release -DKRSTD_BUILD_BENCH=ON -DKRSTD_BUILD_TESTS=OFF)
	@cmake --build $(BUILD)/bench -j $(JOBS)
	@bash $(ROOT)/scripts/run-bench.sh $(BUILD)/bench/bench

fuzz:
	@bash $(ROOT)/scripts/install-deps.sh --fuzz
	@CC=clang CXX=clang++ cmake -S $(ROOT) -B $(BUILD)/fuzz $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DKRSTD_BUILD_FUZZ=ON -DKRSTD_BUILD_TESTS=OFF -DKRSTD_BUILD_TOOLS=OFF >/dev/null
	@cmake --build $(BUILD)/fuzz -j $(JOBS)
	@bash $(ROOT)/scripts/run-fuzz.sh $(BUILD)/fuzz/fuzz $(ROOT)/fuzz/corpus $(FUZZ_SECONDS)

format:
	@git -C $(ROOT) ls-files '*.h' '*.cpp' | sed 's|^|$(ROOT)/|' | xargs -r clang-format -i

install: check
	@cmake --install $(BUILD)/rel $(if $(PREFIX),--prefix $(PREFIX))

clean:
	rm -rf $(BUILD)

# The two commands a newcomer needs: `make run` and `make test`.
BUILD ?= build
SAMPLES ?= samples

.PHONY: run test build program configure setup samples bench fuzz fuzz-rtf clean

setup:
	@scripts/setup

configure: setup
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

# Everything: the program, its tools, the tests and the benchmarks.
build: configure
	@cmake --build $(BUILD)

# Only what `make run` needs, so the first window appears without building the tests.
program: configure
	@cmake --build $(BUILD) --target ledgerly ledgerly-sql ledgerly-mksample scratch_database

$(SAMPLES)/Sales.mdb:
	@mkdir -p $(SAMPLES)
	$(BUILD)/bin/ledgerly-mksample $(SAMPLES)

samples: program $(SAMPLES)/Sales.mdb

run: samples
	@echo "Starting Ledgerly; Table, Open Recordset starts in $(SAMPLES)/ (Secret.mdb's password is ledgerly)."
	@LEDGERLY_SAMPLES="$(abspath $(SAMPLES))" $(BUILD)/bin/ledgerly

test: build
	@cd $(BUILD) && ctest --output-on-failure -j2

bench: build
	$(BUILD)/bin/ledgerly-bench
	$(BUILD)/bin/ledgerly-gridbench
	$(BUILD)/bin/ledgerly-recordbench
	$(BUILD)/bin/ledgerly-transferbench

# The SQL fuzzer (clang, libFuzzer): FUZZ_SECONDS of fuzzing from the seed corpus.
FUZZ_SECONDS ?= 600
fuzz:
	@scripts/setup fuzz
	@CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLEDGERLY_FUZZ=ON >/dev/null
	@cmake --build build-fuzz --target ledgerly-fuzz-sql
	@mkdir -p build-fuzz/corpus
	build-fuzz/bin/ledgerly-fuzz-sql -max_total_time=$(FUZZ_SECONDS) -max_len=512 -timeout=5 build-fuzz/corpus fuzz/corpus

# The RTF codec's fuzzer: reads any bytes, then checks that what it read reads
# back the same after writing it; undefined behaviour stops the run.
fuzz-rtf:
	@scripts/setup fuzz
	@CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLEDGERLY_FUZZ=ON >/dev/null
	@cmake --build build-fuzz -j1 --target ledgerly-fuzz-rtf
	@mkdir -p build-fuzz/corpus-rtf
	UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 build-fuzz/bin/ledgerly-fuzz-rtf -max_total_time=$(FUZZ_SECONDS) \
	  -rss_limit_mb=2048 -timeout=10 -dict=fuzz/rtf.dict build-fuzz/corpus-rtf fuzz/corpus/rtf

clean:
	rm -rf $(BUILD) $(SAMPLES)

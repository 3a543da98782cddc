# Two commands do everything on a fresh machine:
#   make demo   build and run the main job
#   make test   build and run every test (CTest's summary closes the output)
# Other targets: build, bench, bench-java, asan, tsan, fuzz, clean.

BUILD    ?= build
JOBS     ?= 2
CMAKE    ?= cmake
DEB_PKGS := g++ cmake make libgtest-dev libbenchmark-dev libsqlite3-dev libpq-dev postgresql-15 \
            openjdk-17-jdk-headless junit5 libxerial-sqlite-jdbc-java libc-bin \
            clang libclang-rt-14-dev sqlite3 libsimdjson-dev libpicocli-java libjackson2-databind-java
DEB_CHECK := g++ cmake libgtest-dev libbenchmark-dev libsqlite3-dev libpq-dev postgresql-15 \
            openjdk-17-jdk-headless junit5 libxerial-sqlite-jdbc-java clang libclang-rt-14-dev sqlite3 libsimdjson-dev \
            libpicocli-java libjackson2-databind-java

.PHONY: all deps build test demo bench bench-java asan tsan fuzz clean

all: build

# Installs what is missing when run as root; otherwise says what to run.
deps:
	@missing=$$(for p in $(DEB_CHECK); do dpkg -s $$p >/dev/null 2>&1 || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	  if [ "$$(id -u)" = 0 ]; then \
	    echo "Installing: $$missing"; \
	    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $(DEB_PKGS) >/dev/null || exit 1; \
	  else \
	    echo "Missing packages. Run:"; echo "  sudo apt-get install -y $(DEB_PKGS)"; exit 1; \
	  fi; \
	fi

$(BUILD)/CMakeCache.txt: | deps
	$(CMAKE) -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps $(BUILD)/CMakeCache.txt
	$(CMAKE) --build $(BUILD) -j$(JOBS)

# The suites run twice: on SQLite, and (label postgres) on a throwaway
# PostgreSQL 15 server that tools/pg_test_server.sh starts on loopback and
# stops afterwards, also when tests fail.
test: build
	cd $(BUILD) && $(CURDIR)/tools/pg_test_server.sh run -- ctest --output-on-failure -j$(JOBS)

demo: build
	./tools/demo.sh $(BUILD)

bench: build
	./tools/bench.sh $(BUILD)
	./tools/pg_test_server.sh run -- ./tools/bench_ingest.sh $(BUILD)
	./tools/bench_ingest_floor.sh $(BUILD)

# getAlarmsNative against plain JDBC, and the peak RSS of a batched retrieval.
bench-java: build
	./tools/java_bench.sh $(BUILD)

# The whole suite again with AddressSanitizer + UBSan, and with ThreadSanitizer.
asan: deps
	$(CMAKE) -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DNX_SANITIZE=address -DNX_BENCH=OFF
	$(CMAKE) --build build-asan -j$(JOBS)
	cd build-asan && ctest --output-on-failure -j$(JOBS)

tsan: deps
	$(CMAKE) -S . -B build-tsan -DCMAKE_BUILD_TYPE=Debug -DNX_SANITIZE=thread -DNX_BENCH=OFF
	$(CMAKE) --build build-tsan -j$(JOBS)
	cd build-tsan && ctest --output-on-failure -j$(JOBS) -L concurrency

# libFuzzer targets, each run FUZZ_SECONDS on the seeds in fuzz/corpus.
FUZZ_SECONDS ?= 60
fuzz: deps
	CC=clang CXX=clang++ $(CMAKE) -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNX_FUZZ=ON -DNX_BENCH=OFF
	$(CMAKE) --build build-fuzz -j$(JOBS) --target nx_fuzzers
	./tools/fuzz.sh build-fuzz $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD) build-asan build-tsan build-fuzz

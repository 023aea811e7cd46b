# Front door for the two everyday commands; CMake and Ninja do the work.
BUILD ?= build
CMAKE ?= cmake
GEN := -G Ninja

FUZZ_SECONDS ?= 60

.PHONY: all run test release debug fuzz clean

all: release

release:
	$(CMAKE) -S . -B $(BUILD)/release $(GEN) -DCMAKE_BUILD_TYPE=Release -DCLX_TESTS=OFF
	$(CMAKE) --build $(BUILD)/release

debug:
	$(CMAKE) -S . -B $(BUILD)/debug $(GEN) -DCMAKE_BUILD_TYPE=Debug -DCLX_WERROR=ON -DCLX_SANITIZE=ON
	$(CMAKE) --build $(BUILD)/debug

run: release
	$(BUILD)/release/clx -i tests/data/img/sample.img

test: debug
	cd $(BUILD)/debug && ctest --output-on-failure -j2

# The fuzz targets (clang): the reader on the fixtures, the GMP conversion
# on member subfiles of real tiles, then the in-place edits on the fixtures,
# FUZZ_SECONDS seconds each.
fuzz:
	CC=clang CXX=clang++ $(CMAKE) -S . -B $(BUILD)/fuzz $(GEN) -DCMAKE_BUILD_TYPE=Debug -DCLX_FUZZ=ON -DCLX_TESTS=OFF -DCLX_WERROR=ON
	$(CMAKE) --build $(BUILD)/fuzz
	mkdir -p $(BUILD)/fuzz/corpus $(BUILD)/fuzz/convert-corpus
	$(BUILD)/fuzz/tests/fuzz/clx_reader_fuzz -max_total_time=$(FUZZ_SECONDS) -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
	  -artifact_prefix=$(BUILD)/fuzz/ $(BUILD)/fuzz/corpus tests/data/img tests/data/fuzz
	$(BUILD)/fuzz/tests/fuzz/clx_convert_fuzz -max_total_time=$(FUZZ_SECONDS) -max_len=16384 -timeout=10 -rss_limit_mb=2048 \
	  -artifact_prefix=$(BUILD)/fuzz/convert- $(BUILD)/fuzz/convert-corpus tests/data/fuzz/convert
	mkdir -p $(BUILD)/fuzz/edit-corpus
	$(BUILD)/fuzz/tests/fuzz/clx_edit_fuzz -max_total_time=$(FUZZ_SECONDS) -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
	  -artifact_prefix=$(BUILD)/fuzz/edit- $(BUILD)/fuzz/edit-corpus tests/data/img

clean:
	rm -rf $(BUILD)

# Front door for the two everyday commands; CMake and Ninja do the work.
BUILD ?= build
CMAKE ?= cmake
GEN := -G Ninja

.PHONY: all run test release debug fuzz clean

all: release

release:
	$(CMAKE) -S . -B $(BUILD)/release $(GEN) -DCMAKE_BUILD_TYPE=Release -DCLX_TESTS=OFF
	$(CMAKE) --build $(BUILD)/release

debug:
	$(CMAKE) -S . -B $(BUILD)/debug $(GEN) -DCMAKE_BUILD_TYPE=Debug -DCLX_WERROR=ON -DCLX_SANITIZE=ON
	$(CMAKE) --build $(BUILD)/debug

run: release
	$(BUILD)/release/clx -?; test $$? -eq 1

test: debug
	cd $(BUILD)/debug && ctest --output-on-failure -j2

clean:
	rm -rf $(BUILD)

# Front door: each target first installs what is missing, then builds with CMake.
#   make        build dist/ and run the demo (screenshots in out/)
#   make test   build and run the whole test suite under wine64
#   make dist   build dist/ only
#   make bench  build and run the benchmark
JOBS ?= 2

.PHONY: all setup dist demo test bench clean

all: demo

setup:
	@tools/setup.sh

dist: setup
	cmake -S . -B build/x86 -DCMAKE_TOOLCHAIN_FILE=cmake/i686-w64-mingw32.cmake -DCMAKE_BUILD_TYPE=Release
	cmake --build build/x86 -j$(JOBS)
	cmake -S . -B build/x64 -DCMAKE_TOOLCHAIN_FILE=cmake/x86_64-w64-mingw32.cmake -DCMAKE_BUILD_TYPE=Release
	cmake --build build/x64 -j$(JOBS)

demo: dist
	tools/demo.sh

# The tests share one virtual display and its foreground window, so they run one at a time.
test: dist
	tools/with-wine ctest --test-dir build/x64 --output-on-failure

bench: dist
	tools/bench

clean:
	rm -rf build dist out

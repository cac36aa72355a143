# Thin wrapper over CMake and npm; see README.md.
.PHONY: run test build windows web clean

run:
	scripts/install-run-deps.sh
	scripts/run.sh $(ARGS)

test:
	scripts/install-test-deps.sh
	scripts/test-all.sh

web:
	npm run build

build:
	cmake -S . -B build
	cmake --build build -j$$(nproc)

windows:
	cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release
	cmake --build build-windows -j$$(nproc)

clean:
	rm -rf build build-windows build-asan dist test-output

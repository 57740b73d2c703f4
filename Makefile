# Front door: `make demo` runs plotdesk on a built-in default, `make test` runs the tests.
.PHONY: demo test tsan build bench clean bootstrap

bootstrap:
	@scripts/bootstrap

build: bootstrap
	cmake --preset release
	cmake --build --preset release

demo: build
	scripts/demo

test: bootstrap
	cmake --preset test
	cmake --build --preset test
	PLOTDESK_LOOPBACK_ONLY=1 ctest --preset test --no-tests=error
	cmake --preset tsan
	cmake --build --preset tsan
	PLOTDESK_LOOPBACK_ONLY=1 ctest --preset tsan --no-tests=error

bench: build
	bench/run

clean:
	rm -rf build

# Shortcuts for the scripts; on a fresh machine use the scripts themselves
# (README), since make may not be installed yet.
.PHONY: build run test clean
build:
	bash scripts/build.sh
run:
	bash scripts/run.sh
test:
	bash scripts/test.sh
clean:
	rm -rf build

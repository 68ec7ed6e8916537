# make fuzz [FUZZ_SECONDS=60] [FUZZ_FAIL=1] [FUZZ_BUILD=build-fuzz] [FUZZ_TARGETS="read_chn ..."]
# Installs clang if it is missing, configures a clang build with the fuzz targets, writes their
# seed corpora and runs each target for FUZZ_SECONDS. Prints each target's executions and
# result; fails when a target found an input that breaks it (saved as FUZZ_BUILD/findings/...).

FUZZ_SECONDS ?= 60
# 0: report findings without failing (the short run in CI is a smoke test; the long runs that
# must end without a finding are made with the default).
FUZZ_FAIL    ?= 1
FUZZ_BUILD   ?= build-fuzz
FUZZ_TARGETS ?= canberra_txt labo_new kaihouken_dat kaihouken_csv labo_old labo_list \
                kaihouken_txt oxford_asc read_chn format_printf
JOBS         ?= $(shell nproc 2>/dev/null || echo 2)
# The targets write a file or two per input; a folder in memory keeps the disk out of it. Each
# target gets a fresh folder there, removed after it, since libFuzzer ends without cleaning up.
FUZZ_TMPDIR  ?= $(shell [ -d /dev/shm ] && [ -w /dev/shm ] && echo /dev/shm || echo $${TMPDIR:-/tmp})

FUZZ_PACKAGES = cmake ninja-build make clang libclang-rt-14-dev


.PHONY: fuzz fuzz-deps fuzz-build fuzz-seeds

fuzz: fuzz-seeds
	@failed=""; \
	for t in $(FUZZ_TARGETS); do \
	  rm -rf $(FUZZ_BUILD)/findings/$$t; \
	  mkdir -p $(FUZZ_BUILD)/corpus/$$t $(FUZZ_BUILD)/findings/$$t; \
	  log=$(FUZZ_BUILD)/findings/$$t/fuzz.log; \
	  scratch=$$(mktemp -d $(FUZZ_TMPDIR)/brandel-fuzz.XXXXXX); \
	  if TMPDIR=$$scratch $(FUZZ_BUILD)/fuzz/fuzz_$$t -max_total_time=$(FUZZ_SECONDS) -timeout=10 \
	       -rss_limit_mb=2048 -print_final_stats=1 \
	       -artifact_prefix=$(FUZZ_BUILD)/findings/$$t/ \
	       $(FUZZ_BUILD)/corpus/$$t $(FUZZ_BUILD)/seeds/$$t >$$log 2>&1; then \
	    result="no finding"; \
	  else \
	    result="FINDING: $$(ls $(FUZZ_BUILD)/findings/$$t | grep -v fuzz.log | tr '\n' ' ')(log $$log)"; \
	    failed="$$failed $$t"; \
	  fi; \
	  rm -rf $$scratch; \
	  runs=$$(sed -n 's/^stat::number_of_executed_units: *//p' $$log | tail -1); \
	  printf '%-22s %12s executions in %ss: %s\n' "fuzz_$$t" "$${runs:-?}" "$(FUZZ_SECONDS)" "$$result"; \
	  case "$$result" in FINDING*) grep -m1 -A12 -E 'PROPERTY BROKEN|ERROR:' $$log;; esac; \
	done; \
	if [ -n "$$failed" ]; then \
	  echo "Fuzz targets with findings:$$failed"; \
	  [ "$(FUZZ_FAIL)" = 0 ] || exit 1; \
	fi

fuzz-seeds: fuzz-build
	@rm -rf $(FUZZ_BUILD)/seeds
	@$(FUZZ_BUILD)/fuzz/brandel-fuzz-seeds $(FUZZ_BUILD)/seeds

fuzz-build: fuzz-deps
	@cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DCMAKE_CXX_COMPILER=clang++ -DBRANDEL_FUZZ=ON -DBRANDEL_WERROR=ON -DBRANDEL_GUI=OFF \
	    -DBRANDEL_TESTS=OFF \
	    >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS) --target brandel-fuzz-seeds \
	    $(addprefix fuzz_,$(FUZZ_TARGETS))

fuzz-deps:
	@$(MAKE) --no-print-directory -f Makefile deps PACKAGES="$(FUZZ_PACKAGES)"

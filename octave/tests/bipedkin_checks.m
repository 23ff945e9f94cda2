classdef bipedkin_checks < handle
% BIPEDKIN_CHECKS  The checks of one Octave suite.
%   t = bipedkin_checks(SUITE) starts the suite; t.expect(OK, FORMAT, ...)
%   records one check, and its failure (the sprintf of FORMAT, ...) when OK
%   is false; t.report() prints how many checks ran and every failure, and
%   raises an error (a non-zero exit of octave-cli) if any failed or if none
%   ran.
  properties
    suite
    count = 0
    failures = {}
  end
  methods
    function t = bipedkin_checks(suite)
      t.suite = suite;
    end

    function expect(t, ok, varargin)
      t.count = t.count + 1;
      if ~ok
        t.failures{end + 1} = sprintf(varargin{:});
      end
    end

    function report(t)
      printf('%s: %d checks, %d failed\n', t.suite, t.count, numel(t.failures));
      for k = 1:numel(t.failures)
        printf('  FAIL %s\n', t.failures{k});
      end
      if t.count == 0
        error('bipedkin:check', '%s ran no checks', t.suite);
      end
      if ~isempty(t.failures)
        error('bipedkin:check', '%s: %d of %d checks failed', t.suite, numel(t.failures), t.count);
      end
    end
  end
end

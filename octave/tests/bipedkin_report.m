function bipedkin_report(suite, checks, failures)
% BIPEDKIN_REPORT  Ends a check suite: prints how many checks ran and every
% failure, and raises an error (a non-zero exit of octave-cli) if any failed.
  printf('%s: %d checks, %d failed\n', suite, checks, numel(failures));
  for k = 1:numel(failures)
    printf('  FAIL %s\n', failures{k});
  end
  if checks == 0
    error('bipedkin:check', '%s ran no checks', suite);
  end
  if ~isempty(failures)
    error('bipedkin:check', '%s: %d of %d checks failed', suite, numel(failures), checks);
  end
end

function results = batch(mex_dir, name, counts, repeats)
%BATCH  In Octave, N states through one bipedkin_batch call against N single
%calls of the deliverable, for N = 1, 10, 100, 1000, 10000.
%   BATCH(MEX_DIR) times pos_toe_sole_l; MEX_DIR is <build>/octave.
%   BATCH(MEX_DIR, NAME, COUNTS, REPEATS) sets the evaluator, the values of N
%   and how often each is repeated (the best time is kept, default 5).
%   RESULTS = BATCH(...) returns a struct array: n, single_ns, batch_ns (per
%   state) and ratio (single / batch).
%
%   The single calls are y = NAME(X(:, k)) in a loop, each column taken out
%   of X as a user's loop would; the batch is Y = bipedkin_batch(NAME, X).
%   Run from a shell:
%     octave-cli --no-history --norc -q --eval \
%       "addpath('bench/octave'), batch('build/octave')"
  if nargin < 2
    name = 'pos_toe_sole_l';
  end
  if nargin < 3
    counts = [1, 10, 100, 1000, 10000];
  end
  if nargin < 4
    repeats = 5;
  end
  addpath(mex_dir);
  f = str2func(name);
  rand('seed', 11);
  results = struct('n', {}, 'single_ns', {}, 'batch_ns', {}, 'ratio', {});
  printf('%s in Octave, best of %d, ns per state\n', name, repeats);
  printf('%8s %14s %14s %10s\n', 'N', 'single calls', 'one batch', 'ratio');
  for n = counts
    x = 2 * rand(44, n) - 1;
    f(x(:, 1));
    bipedkin_batch(name, x);
    single = inf;
    together = inf;
    for r = 1:repeats
      t = tic;
      for k = 1:n
        y = f(x(:, k));
      end
      single = min(single, toc(t));
      t = tic;
      y = bipedkin_batch(name, x);
      together = min(together, toc(t));
    end
    results(end + 1) = struct('n', n, 'single_ns', 1e9 * single / n, 'batch_ns', 1e9 * together / n, ...
                              'ratio', single / together);
    printf('%8d %14.0f %14.1f %10.1f\n', n, results(end).single_ns, results(end).batch_ns, results(end).ratio);
  end
end

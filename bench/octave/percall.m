function results = percall(mex_dir, empty_dir, calls, repeats)
%PERCALL  Time per call, in Octave, of one deliverable of each family and of
%an empty MEX file built the same way.
%   PERCALL(MEX_DIR, EMPTY_DIR) times CALLS = 100000 calls of each, REPEATS =
%   5 times, and prints the best time per call in ns and its ratio to the
%   empty MEX file's. MEX_DIR is <build>/octave, EMPTY_DIR
%   <build>/bench/octave (which holds bipedkin_empty_mex.mex).
%   PERCALL(MEX_DIR, EMPTY_DIR, CALLS, REPEATS) sets the counts.
%   RESULTS = PERCALL(...) returns a struct array: name, ns, ratio.
%
%   Each call is y = NAME(x) with a fixed random state x (0 for the sparsity
%   pattern, which takes a scalar); the empty MEX file is called as
%   bipedkin_empty_mex(x), since it returns nothing. The times include
%   Octave's own cost of a call and of the loop. Run from a shell:
%     octave-cli --no-history --norc -q --eval \
%       "addpath('bench/octave'), percall('build/octave', 'build/bench/octave')"
  if nargin < 3
    calls = 100000;
  end
  if nargin < 4
    repeats = 5;
  end
  addpath(mex_dir);
  addpath(empty_dir);
  rand('seed', 7);
  x = 2 * rand(44, 1) - 1;

  % {family, deliverable, input}
  cases = {
    'empty MEX',               'bipedkin_empty_mex',         x
    'position',                'pos_toe_sole_l',             x
    'rotation',                'rot_toe_sole_l',             x
    'angular velocity, world', 'omega_world_hip_flexion_l',  x
    'angular velocity, body',  'omega_body_hip_flexion_l',   x
    'angular Jacobian, world', 'angjac_world_hip_rotation_l', x
    'angular Jacobian, body',  'angjac_body_hip_rotation_l', x
    'site Jacobian',           'jac_hip_abduction_l',        x
    'site Jacobian rate',      'jacdot_mount_l',             x
    'actuation matrix',        'actuation_matrix',           x
    'sparsity pattern',        'dyn_sparsity_22',            0
    'constraint Jacobian',     'constraint_jac_rigid_mex',   x
  };
  results = struct('family', {}, 'name', {}, 'ns', {}, 'ratio', {});
  printf('%d calls, best of %d, Octave %s\n', calls, repeats, OCTAVE_VERSION);
  printf('%-24s %-28s %10s %8s\n', 'family', 'deliverable', 'ns/call', 'ratio');
  for k = 1:rows(cases)
    [family, name, input] = cases{k, :};
    if exist(name, 'file') ~= 3
      error('percall:missing', 'no MEX file %s on the path', name);
    end
    ns = best_ns(name, input, calls, repeats, k == 1);
    if k == 1
      empty_ns = ns;
    end
    results(end + 1) = struct('family', family, 'name', name, 'ns', ns, 'ratio', ns / empty_ns);
    printf('%-24s %-28s %10.0f %8.2f\n', family, name, ns, ns / empty_ns);
  end
end

% The best of repeats timings of calls calls, in ns per call. The loop is
% written out with the name in it, as a user's script calls a deliverable.
function ns = best_ns(name, input, calls, repeats, returns_nothing)
  if returns_nothing
    call = sprintf('%s(input);', name);
  else
    call = sprintf('y = %s(input);', name);
  end
  loop = sprintf('for k = 1:%d, %s end', calls, call);
  eval(loop);   % once to load the MEX file and warm up
  ns = Inf;
  for r = 1:repeats
    start = tic();
    eval(loop);
    ns = min(ns, toc(start) * 1e9 / calls);
  end
end

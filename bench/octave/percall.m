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
  loops = cell(rows(cases), 1);
  for k = 1:rows(cases)
    [family, name, input] = cases{k, :};
    if exist(name, 'file') ~= 3
      error('percall:missing', 'no MEX file %s on the path', name);
    end
    loops{k} = timing_loop(name, calls, k == 1);
    time_loop(loops{k}, input);   % loads the MEX file and warms up
  end
  % The repeats go round all cases, so that a slow spell of the machine
  % does not fall on one case alone; each case keeps its best time.
  ns = Inf(rows(cases), 1);
  for r = 1:repeats
    for k = 1:rows(cases)
      ns(k) = min(ns(k), time_loop(loops{k}, cases{k, 3}) * 1e9 / calls);
    end
  end

  printf('%d calls, best of %d, Octave %s\n', calls, repeats, OCTAVE_VERSION);
  printf('%-24s %-28s %10s %8s\n', 'family', 'deliverable', 'ns/call', 'ratio');
  for k = 1:rows(cases)
    results(end + 1) = struct('family', cases{k, 1}, 'name', cases{k, 2}, 'ns', ns(k), 'ratio', ns(k) / ns(1));
    printf('%-24s %-28s %10.0f %8.2f\n', cases{k, 1}, cases{k, 2}, ns(k), ns(k) / ns(1));
  end
end

% The loop of calls calls, written out with the name in it as a user's
% script calls a deliverable.
function loop = timing_loop(name, calls, returns_nothing)
  if returns_nothing
    call = sprintf('%s(input);', name);
  else
    call = sprintf('y = %s(input);', name);
  end
  loop = sprintf('for k = 1:%d, %s end', calls, call);
end

% Seconds the loop takes with input as the input.
function seconds = time_loop(loop, input)
  start = tic();
  eval(loop);
  seconds = toc(start);
end

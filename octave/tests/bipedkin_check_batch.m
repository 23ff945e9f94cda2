function bipedkin_check_batch(reference_file, mex_dir)
% BIPEDKIN_CHECK_BATCH  bipedkin_batch in Octave: for every deliverable, the
% constraint Jacobians among them, page k of bipedkin_batch(NAME, X) has the
% bits of NAME's own result for column k of X (its reference value from the
% built-in host, and the Octave MEX file's own call); a cell array of names
% gives a cell array of results; X without columns gives an empty result;
% bad calls are refused with the batch deliverable's identifiers.
  addpath(mex_dir);
  ref = bipedkin_read_reference(reference_file);
  t = bipedkin_checks('batch');

  function same_page(y, expected, d, what)
    [same, why] = bipedkin_same_bits(y, expected, d.rows, d.cols);
    t.expect(same, '%s %s: %s', d.name, what, why);
  end

  names = {};
  for d = ref.deliverables
    names{end + 1} = d.name;
    % The scalar-form deliverables read no state: any columns will do.
    states = {d.values.state};
    xs = repmat({zeros(44, 1)}, 1, numel(states));
    for k = 1:numel(states) * ~strcmp(d.form, 'scalar')
      xs{k} = ref.states(strcmp({ref.states.name}, states{k})).x;
    end
    x = [xs{:}];
    try
      y = bipedkin_batch(d.name, x);
    catch err
      t.expect(false, '%s: bipedkin_batch raised %s: %s', d.name, err.identifier, err.message);
      continue;
    end
    n = size(x, 2);
    if d.cols == 1
      expected_size = [d.rows, n];
    else
      expected_size = [d.rows, d.cols, n];
    end
    expected_size = size(zeros(expected_size));  % as Octave gives it: no trailing 1
    t.expect(isequal(size(y), expected_size), '%s: batch size %s, not %s', d.name, mat2str(size(y)), ...
           mat2str(expected_size));
    if numel(y) ~= d.rows * d.cols * n
      continue;
    end
    y = reshape(y, d.rows, d.cols, n);
    f = str2func(d.name);
    for k = 1:n
      same_page(y(:, :, k), d.values(k).y, d, sprintf('page %d against the built-in host', k));
      if strcmp(d.form, 'scalar')
        single_call = f(0);
      else
        % The state as read, not indexed out of x: indexing may change a
        % NaN's sign bit, and with it the NaN a kernel passes on.
        single_call = f(xs{k});
      end
      same_page(y(:, :, k), single_call, d, sprintf('page %d against a single call', k));
    end
  end

  % Several names at once, and no states.
  x = ref.states(1).x;
  some = names([1, end, round(end / 2)]);
  c = bipedkin_batch(some, [x, x]);
  t.expect(iscell(c) && isequal(size(c), size(some)), 'a cell of names gives %s', class(c));
  for k = 1:numel(some)
    t.expect(isequal(c{k}, bipedkin_batch(some{k}, [x, x])), 'cell entry %s differs', some{k});
  end
  t.expect(isempty(bipedkin_batch('pos_knee_l', zeros(44, 0))), 'no states give a non-empty result');

  % 'fast': the C library's fast mode, within its bound of the exact values,
  % and the same shape.
  xs = [ref.states.x];
  for name = {'pos_toe_sole_l', 'jac_hip_abduction_r', 'angjac_body_hip_rotation_l', 'omega_world_hip_flexion_r'}
    exact = bipedkin_batch(name{1}, xs);
    fast = bipedkin_batch(name{1}, xs, 'fast');
    finite = isfinite(exact);
    t.expect(isequal(size(fast), size(exact)) && isequal(isnan(fast), isnan(exact)) ...
             && max(abs(fast(finite) - exact(finite))) <= 4e-15 * max(1, max(abs(exact(finite)))), ...
             '%s: the fast batch is not within its bound of the exact one', name{1});
  end

  % Refusals: identifier and message.
  refusals = {
    {{'pos_knee_l'}, 'bipedkin:batch:invalidNumInputs'}
    {{'pos_knee_l', x, 'fast', 'fast'}, 'bipedkin:batch:invalidNumInputs'}
    {{'pos_knee_l', x, x}, 'bipedkin:batch:invalidOption'}
    {{'pos_knee_l', x, 'slow'}, 'bipedkin:batch:invalidOption'}
    {{'pos_knee_l', x.'}, 'bipedkin:batch:inputNotRealMatrix'}
    {{'pos_knee_l', single(x)}, 'bipedkin:batch:inputNotRealMatrix'}
    {{'pos_knee_l', complex(x, 1)}, 'bipedkin:batch:inputNotRealMatrix'}
    {{'pos_nose_l', x}, 'bipedkin:batch:unknownName'}
    {{3, x}, 'bipedkin:batch:invalidName'}
    {{{'pos_knee_l', 3}, x}, 'bipedkin:batch:invalidName'}
  };
  for r = refusals.'
    [args, id] = r{1}{:};
    try
      bipedkin_batch(args{:});
      t.expect(false, 'bipedkin_batch accepted a call it must refuse with %s', id);
    catch err
      t.expect(strcmp(err.identifier, id), 'refused with %s, not %s', err.identifier, id);
    end
  end
  try
    [a, b] = bipedkin_batch('pos_knee_l', x);
    t.expect(false, 'two outputs were accepted');
  catch err
    t.expect(strcmp(err.identifier, 'bipedkin:batch:maxlhs'), 'two outputs refused with %s', err.identifier);
  end

  printf('%d evaluators batched\n', numel(names));
  t.report();
end

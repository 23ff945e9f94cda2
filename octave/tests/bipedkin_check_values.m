function bipedkin_check_values(reference_file, mex_dir)
% BIPEDKIN_CHECK_VALUES  Every deliverable the built-in host was asked about
% (the tests' list of what the build must deliver) is an Octave MEX file in
% mex_dir and returns, for the same input, the same shape and the same bits.
%
% State-form deliverables are called with each state as a 44x1 column, as a
% 1x44 row and as a 1x4x11 array, and (states without signed zeros, which
% sparse storage drops) as sparse column and row; scalar-form ones with
% several values, since the value is never read; column-form ones (the
% constraint deliverables) with the 44x1 column. A call with no output
% variable assigns ans.
  addpath(mex_dir);
  ref = bipedkin_read_reference(reference_file);
  states = containers.Map({ref.states.name}, {ref.states.x});
  t = bipedkin_checks('values');

  for d = ref.deliverables
    where = which(d.name);
    t.expect(exist(d.name, 'file') == 3 && strcmp(where, fullfile(mex_dir, [d.name '.mex'])), ...
           '%s: no %s.mex in %s (found "%s")', d.name, d.name, mex_dir, where);
    if exist(d.name, 'file') ~= 3
      continue;
    end
    f = str2func(d.name);

    for v = d.values
      switch d.form
        case 'scalar'
          inputs = {{'0', 0}, {'-2.5', -2.5}, {'NaN', NaN}, {'-Inf', -Inf}, {'sparse 3', sparse(3)}};
        case 'column'
          x = states(v.state);
          inputs = {{'column', x}};
        otherwise
          x = states(v.state);
          inputs = {{'column', x}, {'row', x.'}, {'1x4x11', reshape(x, 1, 4, 11)}};
          if ~any(x == 0 & 1 ./ x < 0)
            inputs(end + 1 : end + 2) = {{'sparse column', sparse(x)}, {'sparse row', sparse(x.')}};
          end
      end
      for in = inputs
        [label, input] = in{1}{:};
        try
          y = f(input);
          [same, why] = bipedkin_same_bits(y, v.y, d.rows, d.cols);
          t.expect(same, '%s(%s %s): %s', d.name, v.state, label, why);
        catch err
          t.expect(false, '%s(%s %s) raised %s: %s', d.name, v.state, label, err.identifier, err.message);
        end
      end
    end

    % A call whose result is not assigned still returns it, as ans.
    input = {0};
    if ~strcmp(d.form, 'scalar')
      input = {states(d.values(end).state)};
    end
    clear ans;
    try
      f(input{:});
      t.expect(exist('ans', 'var') == 1, '%s(x); assigned nothing to ans', d.name);
      if exist('ans', 'var') == 1
        [same, why] = bipedkin_same_bits(ans, d.values(end).y, d.rows, d.cols);
        t.expect(same, '%s(x); ans: %s', d.name, why);
      end
    catch err
      t.expect(false, '%s(x); raised %s: %s', d.name, err.identifier, err.message);
    end
  end

  printf('%d deliverables, %d states\n', numel(ref.deliverables), numel(ref.states));
  t.report();
end

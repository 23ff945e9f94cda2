function bipedkin_check_constraints(reference_file, mex_dir)
% BIPEDKIN_CHECK_CONSTRAINTS  The run-time checks of the constraint
% deliverables, as they reach Octave: the input count, the output count and
% the run time's type check of the input (a real double 44x1 column), each
% with its identifier and with "NAME: " in front of the run time's message.
% A refused call leaves the deliverable as it was, and so does unloading it
% (its unload hook runs then): the next call returns the same matrix.
  addpath(mex_dir);
  ref = bipedkin_read_reference(reference_file);
  constraints = ref.deliverables(strcmp({ref.deliverables.form}, 'column'));
  x = zeros(44, 1);
  t = bipedkin_checks('constraints');

  count_id = 'EMLRT:runTime:WrongNumberOfInputs';
  outputs_id = 'EMLRT:runTime:TooManyOutputArguments';
  type_id = 'EMLRT:runTime:InputTypeMismatch';
  % {what, number of outputs, inputs, identifier, what the message names}
  cases = {
    'no input',                1, {},                      count_id,   '%ENTRY%: expected 1 input(s).'
    'two inputs',              1, {x, x},                  count_id,   '%ENTRY%: expected 1 input(s).'
    'two inputs, two outputs', 2, {x, x},                  count_id,   '%ENTRY%: expected 1 input(s).'
    'two outputs',             2, {x},                     outputs_id, '%ENTRY%: too many output arguments.'
    'single',                  1, {single(x)},             type_id,    'in1 must be a real double array of size 44x1'
    'int32',                   1, {int32(x)},              type_id,    'in1 must be a real double array of size 44x1'
    'logical',                 1, {false(44, 1)},          type_id,    'in1 must be a real double array of size 44x1'
    'char',                    1, {repmat('a', 44, 1)},    type_id,    'in1 must be a real double array of size 44x1'
    'complex',                 1, {complex(x, x)},         type_id,    'in1 must be a real double array of size 44x1'
    'sparse',                  1, {sparse(x)},             type_id,    'in1 must be a real double array of size 44x1'
    '1x44',                    1, {x.'},                   type_id,    'in1 must be a real double array of size 44x1'
    '1x4x11',                  1, {reshape(x, 1, 4, 11)},  type_id,    'in1 must be a real double array of size 44x1'
    '44x2',                    1, {zeros(44, 2)},          type_id,    'in1 must be a real double array of size 44x1'
    '43x1',                    1, {zeros(43, 1)},          type_id,    'in1 must be a real double array of size 44x1'
    '0x0',                     1, {[]},                    type_id,    'in1 must be a real double array of size 44x1'
  };

  t.expect(numel(constraints) == 4, 'the reference lists %d constraint deliverables, not 4', numel(constraints));
  for d = constraints
    if exist(d.name, 'file') ~= 3
      t.expect(false, '%s: no such MEX file', d.name);
      continue;
    end
    entry = regexprep(d.name, '_mex$', '');
    home = d.values(strcmp({d.values.state}, 'home')).y;
    for k = 1:rows(cases)
      [what, nout, args, id, named] = cases{k, :};
      named = strrep(named, '%ENTRY%', entry);
      [raised, got_id, message] = bipedkin_call(d.name, nout, args);
      t.expect(raised && strcmp(got_id, id) && strncmp(message, [d.name ': '], numel(d.name) + 2) ...
             && ~isempty(strfind(message, named)), ...
             '%s (%s): raised=%d %s "%s", expected %s naming "%s"', d.name, what, raised, got_id, message, id, named);
      % The call after a refusal is an ordinary one.
      [same, why] = bipedkin_same_bits(feval(d.name, x), home, d.rows, d.cols);
      t.expect(same, '%s after a refused call (%s): %s', d.name, what, why);
    end

    % Unloading runs the deliverable's unload hook; it loads again on the
    % next call and answers as before.
    clear(d.name);
    [same, why] = bipedkin_same_bits(feval(d.name, x), home, d.rows, d.cols);
    t.expect(same, '%s after it was unloaded: %s', d.name, why);
  end
  clear mex;
  for d = constraints
    home = d.values(strcmp({d.values.state}, 'home')).y;
    [same, why] = bipedkin_same_bits(feval(d.name, x), home, d.rows, d.cols);
    t.expect(same, '%s after clear mex: %s', d.name, why);
  end

  t.report();
end

function bipedkin_check_refusals(reference_file, mex_dir)
% BIPEDKIN_CHECK_REFUSALS  Every generated deliverable refuses, in Octave,
% each call its gateway must refuse, with the exact identifier, and with the
% gateway's message behind the "NAME: " that Octave puts in front.
%
% The checks come in the gateway's order: the input count first (whatever
% the output count), then the output count (whatever the input), then the
% input's class, complexity and shape.
  addpath(mex_dir);
  ref = bipedkin_read_reference(reference_file);
  x = zeros(44, 1);
  t = bipedkin_checks('refusals');

  count_id = 'MATLAB:Tarnel:invalidNumInputs';
  outputs_id = 'MATLAB:Tarnel:maxlhs';
  input_id = 'MATLAB:Tarnel:inputNotRealVector';

  % {what, number of outputs, inputs, identifier, message word}: the message
  % word picks the message ('count', 'outputs' or 'input').
  common = {
    'no input',                      1, {},              count_id,   'count'
    'two inputs',                    1, {x, x},          count_id,   'count'
    'no input, no output',           0, {},              count_id,   'count'
    'two inputs, two outputs',       2, {x, x},          count_id,   'count'
    'two outputs',                   2, {x},             outputs_id, 'outputs'
    'two outputs, a single input',   2, {single(x)},     outputs_id, 'outputs'
    'three outputs',                 3, {x},             outputs_id, 'outputs'
  };
  state_inputs = {
    'single',            single(x)
    'int32',             int32(x)
    'logical',           false(44, 1)
    'char',              repmat('a', 44, 1)
    'complex',           complex(x, x)
    'complex, zero imaginary part', complex(x, zeros(44, 1))
    'cell',              num2cell(x)
    'struct',            struct('x', x)
    'sparse logical',    sparse(false(44, 1))
    '44x2',              zeros(44, 2)
    '43x1',              zeros(43, 1)
    '45x1',              zeros(45, 1)
    '1x45',              zeros(1, 45)
    '4x11',              zeros(4, 11)
    '2x22',              zeros(2, 22)
    '44x1x2',            zeros(44, 1, 2)
    '1x1',               0
    '0x0',               []
    '0x44',              zeros(0, 44)
  };
  scalar_inputs = {
    'single',            single(0)
    'int32',             int32(0)
    'logical',           false
    'char',              'a'
    'complex',           complex(0, 1)
    'cell',              {0}
    '1x2',               [0 0]
    '2x1',               [0; 0]
    '1x1x2',             zeros(1, 1, 2)
    '0x0',               []
    '44x1',              x
  };

  for d = ref.deliverables
    if strcmp(d.form, 'column')
      continue;   % the constraint deliverables have checks of their own
    end
    if exist(d.name, 'file') ~= 3
      checks = checks + 1;
      failures{end + 1} = sprintf('%s: no such MEX file', d.name);
      continue;
    end
    if strcmp(d.form, 'scalar')
      word = 'var';
      wrong = scalar_inputs;
    else
      word = 'x';
      wrong = state_inputs;
    end
    messages = struct('count', sprintf('One input(s) required (%s).', word), ...
                      'outputs', 'Too many output arguments.', ...
                      'input', sprintf('%s is wrong.', word));
    cases = common;
    for k = 1:rows(wrong)
      cases(end + 1, :) = {wrong{k, 1}, 1, wrong(k, 2), input_id, 'input'};
    end
    for k = 1:rows(cases)
      [what, nout, args, id, message] = cases{k, :};
      expected = sprintf('%s: %s', d.name, messages.(message));
      [raised, got_id, got_message] = bipedkin_call(d.name, nout, args);
      if ~raised
        t.expect(false, '%s (%s): accepted', d.name, what);
      else
        t.expect(strcmp(got_id, id) && strcmp(got_message, expected), '%s (%s): raised %s "%s", not %s "%s"', ...
                 d.name, what, got_id, got_message, id, expected);
      end
    end
  end

  t.report();
end

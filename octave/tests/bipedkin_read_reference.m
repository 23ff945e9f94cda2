function ref = bipedkin_read_reference(file)
% BIPEDKIN_READ_REFERENCE  What the built-in host returned, as written by
% bipedkin_octave_reference: the states, and per deliverable its input form,
% output shape and output at each state.
%
%   ref.states        struct array: name, x (44x1 double)
%   ref.deliverables  struct array: name, form ('state', 'scalar' or
%                     'column'), rows, cols, values (struct array: state, y)
% Every double is read back from the hexadecimal form of its bits.
  text = fileread(file);
  lines = strsplit(strtrim(text), "\n");
  ref.states = struct('name', {}, 'x', {});
  ref.deliverables = struct('name', {}, 'form', {}, 'rows', {}, 'cols', {}, 'values', {});
  for k = 1:numel(lines)
    words = strsplit(strtrim(lines{k}), ' ');
    switch words{1}
      case 'state'
        ref.states(end + 1) = struct('name', words{2}, 'x', from_hex(words(3:end)));
      case 'deliverable'
        ref.deliverables(end + 1) = struct('name', words{2}, 'form', words{3}, ...
                                           'rows', str2double(words{4}), 'cols', str2double(words{5}), ...
                                           'values', struct('state', {}, 'y', {}));
      case 'value'
        d = ref.deliverables(end);
        d.values(end + 1) = struct('state', words{2}, 'y', from_hex(words(3:end)));
        ref.deliverables(end) = d;
      otherwise
        error('bipedkin:reference', '%s, line %d: unknown record "%s"', file, k, words{1});
    end
  end
  if isempty(ref.states) || isempty(ref.deliverables)
    error('bipedkin:reference', '%s holds no states or no deliverables', file);
  end
end

function v = from_hex(words)
  v = hex2num(char(words(:)));
  v = v(:);
end

function [same, why] = bipedkin_same_bits(y, expected, rows, cols)
% BIPEDKIN_SAME_BITS  Whether y is a real, full rows x cols double matrix
% whose elements have exactly the bits of expected (column-major); why says
% what differs.
  same = false;
  why = '';
  if ~isa(y, 'double') || ~isreal(y) || issparse(y)
    why = sprintf('a %s%s %s, not a real full double', pick(issparse(y), 'sparse ', ''), ...
                  pick(isreal(y), 'real', 'complex'), class(y));
  elseif ~isequal(size(y), [rows, cols])
    why = sprintf('size %s, not %dx%d', mat2str(size(y)), rows, cols);
  else
    got = typecast(y(:), 'uint64');
    want = typecast(expected(:), 'uint64');
    k = find(got ~= want, 1);
    if isempty(k)
      same = true;
    else
      why = sprintf('element %d is %s (%.17g), the built-in host gives %s (%.17g)', k, ...
                    num2hex(y(k)), y(k), num2hex(expected(k)), expected(k));
    end
  end
end

function r = pick(c, a, b)
  if c
    r = a;
  else
    r = b;
  end
end

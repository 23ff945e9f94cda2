function [raised, id, message] = bipedkin_call(name, nout, args)
% BIPEDKIN_CALL  Calls the function name with the inputs args and nout
% outputs (0 is a call whose result is not assigned); returns whether it
% raised an error, and the error's identifier and message.
  raised = false;
  id = '';
  message = '';
  out = cell(1, nout);
  try
    if nout == 0
      feval(name, args{:});
    else
      [out{:}] = feval(name, args{:});
    end
  catch err
    raised = true;
    id = err.identifier;
    message = err.message;
  end
end

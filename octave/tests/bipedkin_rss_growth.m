function growth = bipedkin_rss_growth(name, input, calls)
% BIPEDKIN_RSS_GROWTH  Growth of this Octave process's resident memory, in
% kB, over calls calls of name(input), measured after as many calls again to
% let the heap settle. A call that raises an error counts as a call (the
% error is caught), so refused calls can be measured too.
  resident_kb();   % its own first-time costs (reading, matching) come first
  run_calls(name, input, calls);
  before = resident_kb();
  run_calls(name, input, calls);
  growth = resident_kb() - before;
end

function run_calls(name, input, calls)
  f = str2func(name);
  for k = 1:calls
    try
      y = f(input);
    catch
    end
  end
end

% Resident memory as the kernel counts it from the page tables (VmRSS in
% /proc/self/status may lag behind by a few hundred kB).
function kb = resident_kb()
  status = fileread('/proc/self/smaps_rollup');
  kb = str2double(regexp(status, 'Rss:\s*(\d+)', 'tokens', 'once'){1});
end

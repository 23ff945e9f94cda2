function bipedkin_check_memory(reference_file, mex_dir)
% BIPEDKIN_CHECK_MEMORY  Calls keep no memory in Octave: 100000 calls of each
% constraint deliverable (whose output block is attached with mxSetData,
% which in Octave frees nothing), and of a generated one, grow the process's
% resident memory by less than 1 MB; so do 20000 refused calls, whose output
% block (constraint deliverables) was already allocated.
  addpath(mex_dir);
  ref = bipedkin_read_reference(reference_file);
  limit_kb = 1024;
  x = zeros(44, 1);
  t = bipedkin_checks('memory');

  names = [{ref.deliverables(strcmp({ref.deliverables.form}, 'column')).name}, {'pos_toe_sole_l'}];
  runs = [cellfun(@(n) {n, x, 100000, 'calls'}, names, 'UniformOutput', false), ...
          {{names{1}, single(x), 20000, 'refused calls'}, {'pos_toe_sole_l', single(x), 20000, 'refused calls'}}];
  for r = runs
    [name, input, calls, what] = r{1}{:};
    growth = bipedkin_rss_growth(name, input, calls);
    printf('%-30s %6d %-13s resident memory grew by %5d kB\n', name, calls, what, growth);
    t.expect(growth < limit_kb, '%s: %d %s grew resident memory by %d kB', name, calls, what, growth);
  end
  t.report();
end

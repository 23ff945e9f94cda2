function bipedkin_check_build_mex(reference_file, source_dir, work_dir)
% BIPEDKIN_CHECK_BUILD_MEX  build_mex compiles every deliverable with
% Octave's own mex command into a folder, and what it builds answers as the
% built-in host does (same bits, at one state each). It refuses names it
% does not know, and it turns a compile's failure status (Octave's mex
% returns one instead of raising) into an error naming the deliverable.
  addpath(fullfile(source_dir, 'octave'));
  ref = bipedkin_read_reference(reference_file);
  t = bipedkin_checks('build_mex');

  if exist(work_dir, 'dir')
    confirm_recursive_rmdir(false, 'local');
    rmdir(work_dir, 's');
  end
  mkdir(work_dir);

  % A name that is no deliverable.
  [raised, id] = bipedkin_call('build_mex', 0, {fullfile(work_dir, 'none'), {'pos_nowhere_l'}});
  t.expect(raised && strcmp(id, 'bipedkin:build_mex:unknown'), 'an unknown name raised "%s"', id);

  % A mex command that reports failure through its status, as Octave's does.
  stub = fullfile(work_dir, 'failing_mex');
  mkdir(stub);
  fid = fopen(fullfile(stub, 'mex.m'), 'w');
  fprintf(fid, 'function status = mex(varargin)\n  status = 1;\nend\n');
  fclose(fid);
  warning('off', 'Octave:shadowed-function', 'local');
  addpath(stub);
  [raised, id, message] = bipedkin_call('build_mex', 0, {fullfile(work_dir, 'failed'), {'pos_mount_l', 'rot_knee_r'}});
  rmpath(stub);
  t.expect(raised && strcmp(id, 'bipedkin:build_mex:failed') && ~isempty(strfind(message, 'pos_mount_l')) ...
         && ~isempty(strfind(message, 'rot_knee_r')), 'a failing compile raised %s "%s"', id, message);

  % Everything, for real.
  out = fullfile(work_dir, 'mex');
  built = build_mex(out);
  names = {ref.deliverables.name};
  t.expect(isempty(setxor(built, names)), 'build_mex built {%s}; the tests expect {%s}', ...
         strjoin(setdiff(built, names), ', '), strjoin(setdiff(names, built), ', '));

  addpath(out);
  states = containers.Map({ref.states.name}, {ref.states.x});
  for d = ref.deliverables
    where = which(d.name);
    t.expect(strcmp(where, fullfile(out, [d.name '.mex'])), '%s: found %s, not the one build_mex made', d.name, where);
    if strcmp(d.form, 'scalar')
      v = d.values(1);
      input = 0;
    else
      v = d.values(strcmp({d.values.state}, 'random1'));
      input = states(v.state);
    end
    try
      [same, why] = bipedkin_same_bits(feval(d.name, input), v.y, d.rows, d.cols);
      t.expect(same, '%s built by build_mex: %s', d.name, why);
    catch err
      t.expect(false, '%s built by build_mex raised %s: %s', d.name, err.identifier, err.message);
    end
  end
  t.report();
end

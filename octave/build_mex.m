function built = build_mex(outdir, names)
%BUILD_MEX  Compile the bipedkin deliverables with this host's mex command.
%   BUILD_MEX(OUTDIR) compiles every deliverable into the folder OUTDIR
%   (created if missing) with the mex command of the host it runs in, GNU
%   Octave or MATLAB; addpath(OUTDIR) then makes them callable by name.
%   BUILD_MEX(OUTDIR, NAMES) compiles only the deliverables named in the
%   cell array NAMES.
%   BUILT = BUILD_MEX(...) returns the names compiled.
%
%   Every compile's status is checked: if any deliverable does not compile,
%   BUILD_MEX ends with an error (identifier bipedkin:build_mex:failed)
%   that names each one, after trying all of them.
%
%   The deliverables are the rows of gateway/deliverables.def and of
%   constraints/constraints.def, built from the same sources as the CMake
%   build. Needs a C++20 compiler (GCC 10 or later) and, for the four
%   constraint deliverables, zlib's development files. In Octave, each MEX
%   file gets the mxCreateDoubleMatrix_700 that Octave lacks compiled in.
%   The MATLAB path is written for MATLAB's mex but has not been run here.
%
%   Example (Octave, from the repository's octave folder):
%     build_mex('/tmp/bipedkin-mex');
%     addpath('/tmp/bipedkin-mex');
%     pos_toe_sole_l(zeros(44, 1))

  if nargin < 1 || ~ischar(outdir) || isempty(outdir)
    error('bipedkin:build_mex:usage', 'usage: build_mex(OUTDIR) or build_mex(OUTDIR, NAMES)');
  end
  root = fileparts(fileparts(mfilename('fullpath')));
  generated = table_names(fullfile(root, 'gateway', 'deliverables.def'), '^BIPEDKIN_DELIVERABLE\((\w+),', '');
  constraints = table_names(fullfile(root, 'constraints', 'constraints.def'), '^BIPEDKIN_CONSTRAINT\((\w+),', '_mex');
  if nargin < 2
    names = [generated, constraints];
  elseif ~iscellstr(names)
    error('bipedkin:build_mex:usage', 'NAMES must be a cell array of deliverable names');
  end
  unknown = setdiff(names, [generated, constraints]);
  if ~isempty(unknown)
    error('bipedkin:build_mex:unknown', 'no such deliverable: %s', strjoin(unknown, ', '));
  end

  if ~exist(outdir, 'dir') && ~mkdir(outdir)
    error('bipedkin:build_mex:folder', 'cannot create the folder %s', outdir);
  end
  work = tempname();
  mkdir(work);
  cleanup_work = onCleanup(@() remove_folder(work));
  octave = exist('OCTAVE_VERSION', 'builtin') ~= 0;
  flags = '-std=c++20 -O2 -ffp-contract=off -fvisibility=hidden';
  if octave
    % Octave's mex takes compiler flags from the environment.
    previous = getenv('CXXFLAGS');
    setenv('CXXFLAGS', [strtrim(mkoctfile('-p', 'CXXFLAGS')) ' ' flags]);
    cleanup_flags = onCleanup(@() restore_environment('CXXFLAGS', previous));
  end

  built = {};
  failed = {};
  for k = 1:numel(names)
    name = names{k};
    fprintf('build_mex: %s\n', name);
    if octave
      fflush(stdout);
    end
    try
      if any(strcmp(name, generated))
        args = generated_args(root, name, octave);
      else
        args = constraint_args(root, work, name, octave);
      end
      ok = compile(args, outdir, name, octave, flags);
    catch err
      fprintf('build_mex: %s: %s\n', name, err.message);
      ok = false;
    end
    if ok
      built{end + 1} = name;
    else
      failed{end + 1} = name;
    end
  end
  if ~isempty(failed)
    error('bipedkin:build_mex:failed', 'build_mex: %d of %d deliverables did not compile: %s', ...
          numel(failed), numel(names), strjoin(failed, ', '));
  end
end

% The names a table of deliverables lists, with suffix appended.
function names = table_names(file, pattern, suffix)
  rows = regexp(fileread(file), pattern, 'tokens', 'lineanchors');
  names = cellfun(@(t) [t{1} suffix], rows, 'UniformOutput', false);
  if isempty(names)
    error('bipedkin:build_mex:table', 'no deliverables in %s', file);
  end
end

% A generated deliverable: the gateway's entry.cpp for its row, exporting
% mexFunction alone.
function args = generated_args(root, name, octave)
  args = {['-I' root], ['-DBIPEDKIN_DELIVERABLE_NAME=' name], fullfile(root, 'gateway', 'entry.cpp')};
  if octave
    args = [args, {['-Wl,--version-script=' fullfile(root, 'gateway', 'exports.map')], ...
                   fullfile(root, 'octave', 'mx700.cpp')}];
  end
end

% A constraint deliverable: its source, its stored build properties (made by
% the project's generator, compiled here with the host's C++ compiler) and
% our run-time library compiled in, so that its calls stay inside the MEX
% file whatever run time the host has loaded.
function args = constraint_args(root, work, name, octave)
  entry = regexprep(name, '_mex$', '');
  include = fullfile(work, 'include');
  if ~exist(fullfile(include, 'bipedkin'), 'dir')
    % The run time's header includes "mex.h": next to it that would be the
    % built-in host's, so it is used from a folder of its own.
    mkdir(fullfile(include, 'bipedkin'));
    copy(fullfile(root, 'host', 'include', 'emlrt.h'), include);
    copy(fullfile(root, 'host', 'include', 'bipedkin', 'emlrt_record.hpp'), fullfile(include, 'bipedkin'));
  end
  tool = fullfile(work, 'make_properties');
  if ~exist(tool, 'file')
    run_command(sprintf('"%s" -std=c++20 -O2 -o "%s" "%s" -lz', host_cxx(octave), tool, ...
                        fullfile(root, 'constraints', 'make_properties.cpp')));
  end
  own = fullfile(work, name);
  mkdir(own);
  run_command(sprintf('"%s" "%s" %s "%s"', tool, fullfile(root, 'constraints', 'resolved_functions.txt'), ...
                      entry, fullfile(own, 'resolved_functions.inc')));
  src = fullfile(root, 'host', 'src');
  args = {['-I' root], ['-I' include], ['-I' own], ['-DBIPEDKIN_CONSTRAINT_ENTRY=' entry], ...
          fullfile(root, 'constraints', 'deliverable.cpp'), fullfile(src, 'emlrt.cpp'), ...
          fullfile(src, 'emlrt_capture.cpp'), fullfile(src, 'emlrt_record.cpp'), '-lz'};
  if octave
    map = fullfile(own, 'exports.map');
    fid = fopen(map, 'w');
    fprintf(fid, ['{\n  global: mexFunction; emlrtMexFcnProperties; %s; %s_initialize; %s_terminate; ' ...
                  '%s_atexit;\n  local: *;\n};\n'], entry, entry, entry, entry);
    fclose(fid);
    args{end + 1} = ['-Wl,--version-script=' map];
  end
end

% Runs the host's mex command; true when it reports success. Octave's
% returns a status, MATLAB's raises an error.
function ok = compile(args, outdir, name, octave, flags)
  if octave
    status = mex(args{:}, '-o', fullfile(outdir, [name '.mex']));
    ok = status == 0 && exist(fullfile(outdir, [name '.mex']), 'file') ~= 0;
  else
    mex('-outdir', outdir, '-output', name, ['CXXFLAGS=$CXXFLAGS ' flags], args{:});
    ok = exist(fullfile(outdir, [name '.' mexext()]), 'file') ~= 0;
  end
end

function cxx = host_cxx(octave)
  if octave
    cxx = strtrim(mkoctfile('-p', 'CXX'));
  else
    cxx = mex.getCompilerConfigurations('C++', 'Selected').Details.CompilerExecutable;
  end
end

function run_command(command)
  [status, output] = system(command);
  if status ~= 0
    error('bipedkin:build_mex:command', '%s failed: %s', command, output);
  end
end

function copy(file, folder)
  [ok, message] = copyfile(file, folder);
  if ~ok
    error('bipedkin:build_mex:copy', 'cannot copy %s: %s', file, message);
  end
end

% An empty value counts as unset: Octave's mex would take an empty one as
% "no flags".
function restore_environment(name, value)
  if isempty(value)
    unsetenv(name);
  else
    setenv(name, value);
  end
end

function remove_folder(folder)
  if exist('confirm_recursive_rmdir', 'builtin')
    confirm_recursive_rmdir(false, 'local');
  end
  if exist(folder, 'dir')
    rmdir(folder, 's');
  end
end

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
%   The deliverables are the rows of the one list of evaluators
%   (gateway/evaluators.def), which a small program of the project, compiled
%   here with the host's C++ compiler, prints; each is built from the same
%   sources and with the same flags (cmake/compile-flags.txt) as in the
%   CMake build. Needs a C++20 compiler (GCC 10 or later) and, for the
%   run-time-built deliverables, zlib's development files. In Octave, each
%   MEX file gets the mxCreateDoubleMatrix_700 that Octave lacks compiled in.
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
  if nargin >= 2 && ~iscellstr(names)
    error('bipedkin:build_mex:usage', 'NAMES must be a cell array of deliverable names');
  end
  if ~exist(outdir, 'dir') && ~mkdir(outdir)
    error('bipedkin:build_mex:folder', 'cannot create the folder %s', outdir);
  end
  work = tempname();
  mkdir(work);
  cleanup_work = onCleanup(@() remove_folder(work));
  octave = exist('OCTAVE_VERSION', 'builtin') ~= 0;
  flags = ['-std=c++20 -O2 ' compile_flags(root)];

  [listed, kinds] = evaluator_list(root, work, octave, flags);
  if nargin < 2
    names = listed;
  end
  unknown = setdiff(names, listed);
  if ~isempty(unknown)
    error('bipedkin:build_mex:unknown', 'no such deliverable: %s', strjoin(unknown, ', '));
  end
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
      if strcmp(kinds{strcmp(listed, name)}, 'gateway')
        args = generated_args(root, name, octave);
      else
        args = constraint_args(root, work, name, octave, flags);
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

% The flags of cmake/compile-flags.txt: its lines that are not comments.
function flags = compile_flags(root)
  lines = strsplit(fileread(fullfile(root, 'cmake', 'compile-flags.txt')), "\n");
  lines = lines(~cellfun(@isempty, lines) & ~strncmp(lines, '#', 1));
  flags = strjoin(lines, ' ');
end

% The rows of the one list: each evaluator's name and kind (gateway or
% runtime), as the project's lister prints them.
function [names, kinds] = evaluator_list(root, work, octave, flags)
  lister = fullfile(work, 'bipedkin_list');
  run_command(sprintf('"%s" %s -I"%s" -o "%s" "%s"', host_cxx(octave), flags, root, lister, ...
                      fullfile(root, 'gateway', 'list.cpp')));
  [status, output] = system(['"' lister '"']);
  if status ~= 0
    error('bipedkin:build_mex:table', 'the list of evaluators could not be printed: %s', output);
  end
  rows = regexp(output, '^(\w+) (gateway|runtime)$', 'tokens', 'lineanchors');
  names = cellfun(@(t) t{1}, rows, 'UniformOutput', false);
  kinds = cellfun(@(t) t{2}, rows, 'UniformOutput', false);
  if isempty(names)
    error('bipedkin:build_mex:table', 'the list of evaluators is empty');
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

% A run-time-built deliverable: its source, its stored build properties
% (made by the project's generator, compiled here with the host's C++
% compiler) and its export list. In Octave, which has no run time of this
% kind, our run-time library is compiled in (its headers' folder holds no
% mex.h: the one it includes is Octave's); MATLAB's own libemlrt is linked.
function args = constraint_args(root, work, name, octave, flags)
  entry = regexprep(name, '_mex$', '');
  include = fullfile(root, 'host', 'emlrt', 'include');
  tool = fullfile(work, 'make_properties');
  if ~exist(tool, 'file')
    run_command(sprintf('"%s" %s -I"%s" -o "%s" "%s" -lz', host_cxx(octave), flags, include, tool, ...
                        fullfile(root, 'constraints', 'make_properties.cpp')));
  end
  own = fullfile(work, name);
  mkdir(own);
  run_command(sprintf('"%s" "%s" %s "%s"', tool, fullfile(root, 'constraints', 'resolved_functions.txt'), ...
                      entry, fullfile(own, 'resolved_functions.inc')));
  args = {['-I' root], ['-I' own], ['-DBIPEDKIN_DELIVERABLE_NAME=' name], ['-DBIPEDKIN_CONSTRAINT_ENTRY=' entry], ...
          fullfile(root, 'constraints', 'deliverable.cpp')};
  map = fullfile(own, 'exports.map');
  exports = strrep(fileread(fullfile(root, 'constraints', 'exports.map.in')), '@ENTRY@', entry);
  if octave
    src = fullfile(root, 'host', 'emlrt');
    args = [args, {['-I' include], fullfile(src, 'emlrt.cpp'), fullfile(src, 'emlrt_capture.cpp'), ...
                   fullfile(src, 'emlrt_record.cpp'), '-lz', ['-Wl,--version-script=' map]}];
  else
    % MATLAB's mex exports mexFunction and its version function; the entry
    % points are added to that.
    exports = strrep(exports, 'global: mexFunction;', 'global: mexFunction; mexfilerequiredapiversion;');
    args = [args, {['-L' fullfile(matlabroot(), 'bin', lower(computer('arch')))], '-lemlrt', ...
                   ['LINKEXPORTVER=-Wl,--version-script,' map]}];
  end
  fid = fopen(map, 'w');
  fprintf(fid, '%s', exports);
  fclose(fid);
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

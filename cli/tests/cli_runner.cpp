#include "cli_runner.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <linux/capability.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#ifndef DORNAVEL_CLI_PATH
#error "DORNAVEL_CLI_PATH must name the dornavel-cli program under test"
#endif

namespace {

// The whole content of a temporary file the child wrote into.
std::string contentOf(std::FILE* file) {
    std::string text;
    std::rewind(file);
    char buffer[4096];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, got);
    return text;
}

// In the child: takes from it and from the program it starts the capabilities that let root
// pass file permissions. A program started by root gets its powers from this bounding set.
// Returns false when that is refused to root; others have no such powers to lose.
bool dropPermissionOverride() {
    if (getuid() != 0) return true;
    return prctl(PR_CAPBSET_DROP, CAP_DAC_OVERRIDE, 0, 0, 0) == 0 &&
           prctl(PR_CAPBSET_DROP, CAP_DAC_READ_SEARCH, 0, 0, 0) == 0;
}

// Starts the program reading inFd (nothing when -1) with its output going to outFd and errFd;
// -1 when it cannot start.
pid_t spawn(const std::vector<std::string>& args, const std::string& workDir, Permissions permissions, int inFd,
            int outFd, int errFd, long long fileSizeLimit) {
    // Everything the child needs is made before the fork.
    std::vector<std::string> words{DORNAVEL_CLI_PATH};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        const int input = inFd >= 0 ? inFd : open("/dev/null", O_RDONLY);
        if (input < 0 || dup2(input, 0) < 0 || dup2(outFd, 1) < 0 || dup2(errFd, 2) < 0) _exit(126);
        if (!workDir.empty() && chdir(workDir.c_str()) != 0) _exit(126);
        if (permissions == Permissions::Enforced && !dropPermissionOverride()) _exit(125);
        const struct rlimit limit = {static_cast<rlim_t>(fileSizeLimit), static_cast<rlim_t>(fileSizeLimit)};
        if (fileSizeLimit >= 0 && setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(124);
        execv(argv[0], argv.data());
        _exit(127);
    }
    if (child < 0) ADD_FAILURE() << "cannot start " << DORNAVEL_CLI_PATH;
    return child;
}

// Waits for the child and gives its exit status, 128 + the signal's number when one ended it.
int waitFor(pid_t child) {
    int waitStatus = 0;
    pid_t waited;
    do {
        waited = waitpid(child, &waitStatus, 0);
    } while (waited < 0 && errno == EINTR);
    if (waited != child) return -1;
    return WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : 128 + WTERMSIG(waitStatus);
}

// A sanitizer report on standard error counts as a failure of the test.
void expectNoSanitizerReport(const CliRun& run) {
    EXPECT_EQ(run.err.find("Sanitizer"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("runtime error"), std::string::npos) << run.err;
}

} // namespace

// The child's output goes to unnamed temporary files rather than pipes, so a talkative
// program can never block on a full pipe while the test waits for it; so does its input.
static CliRun runWith(const std::vector<std::string>& args, const std::string& workDir, Permissions permissions,
               const std::string& outputFile, int inFd) {
    CliRun run;
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    if (!out || !err) {
        ADD_FAILURE() << "cannot create the files that capture the program's output";
        if (out) std::fclose(out);
        if (err) std::fclose(err);
        return run;
    }
    const int outFd = outputFile.empty() ? fileno(out) : open(outputFile.c_str(), O_WRONLY);
    const pid_t child = spawn(args, workDir, permissions, inFd, outFd, fileno(err), -1);
    if (child > 0) {
        run.status = waitFor(child);
        run.out = contentOf(out);
        run.err = contentOf(err);
    }
    std::fclose(out);
    std::fclose(err);
    if (!outputFile.empty() && outFd >= 0) close(outFd);
    expectNoSanitizerReport(run);
    return run;
}

CliRun runCli(const std::vector<std::string>& args, const std::string& workDir, Permissions permissions,
              const std::string& outputFile) {
    return runWith(args, workDir, permissions, outputFile, -1);
}

CliRun runCliWithInput(const std::vector<std::string>& args, const std::string& input, const std::string& workDir) {
    std::FILE* in = std::tmpfile();
    if (!in || std::fwrite(input.data(), 1, input.size(), in) != input.size() || std::fflush(in) != 0) {
        ADD_FAILURE() << "cannot write the program's input";
        if (in) std::fclose(in);
        return CliRun();
    }
    std::rewind(in);
    const CliRun run = runWith(args, workDir, Permissions::AsCaller, std::string(), fileno(in));
    std::fclose(in);
    return run;
}

RunningCli startCli(const std::vector<std::string>& args, const std::string& workDir, long long fileSizeLimit) {
    RunningCli running;
    running.out = std::tmpfile();
    running.err = std::tmpfile();
    if (running.out && running.err)
        running.pid = spawn(args, workDir, Permissions::AsCaller, -1, fileno(running.out), fileno(running.err),
                            fileSizeLimit);
    return running;
}

RunningCli startCliIntoPipe(const std::vector<std::string>& args, const std::string& workDir, int pipeBytes) {
    RunningCli running;
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0 || fcntl(ends[1], F_SETPIPE_SZ, pipeBytes) < 0) {
        ADD_FAILURE() << "cannot make the pipe for the program's output";
        return running;
    }
    running.out = fdopen(ends[0], "rb");
    running.err = std::tmpfile();
    if (running.out && running.err)
        running.pid = spawn(args, workDir, Permissions::AsCaller, -1, ends[1], fileno(running.err), -1);
    close(ends[1]); // the program holds the only writing end: the test sees its end of file
    return running;
}

CliRun finishCli(RunningCli& running) {
    CliRun run;
    if (running.pid > 0) run.status = waitFor(running.pid);
    if (running.out) run.out = contentOf(running.out), std::fclose(running.out);
    if (running.err) run.err = contentOf(running.err), std::fclose(running.err);
    running = RunningCli();
    expectNoSanitizerReport(run);
    return run;
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

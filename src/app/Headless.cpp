#include "app/Headless.h"

#include "common/Version.h"

namespace fb {

std::string versionText()
{
    return std::string("mervo (Folioband Batch) ") + kVersion + "\n";
}

std::string usageText()
{
    return "Usage: mervo [switches] [FILE.pdf | JOB.app | 'FOLDER/*.pdf']... [-r] [-q]\n"
           "\n"
           "Builds PDF files out of pages taken from other PDF files. Switches apply to the\n"
           "files that follow them; a value follows its switch directly, without a space.\n"
           "\n"
           "  -oPATH    output PDF for the following files (default: default.pdf here)\n"
           "  -pPAGES   pages to take: all, 6-7,9-10, 5-10n, 1s, odd, even (default: all)\n"
           "  -c        create a new output file, replacing an existing one\n"
           "  -a        append to the output file if it exists (default)\n"
           "  -b        keep the source's bookmarks      -n  do not keep them (default)\n"
           "  -f        add a bookmark named after each source file\n"
           "  -s        sort the job list on file name\n"
           "  -d        no \"Acrobat Connection\" window\n"
           "  -e        quiet: do not show the run's error messages\n"
           "  -r        run the job list now             -q  close the program\n"
           "  --dry-run print what the runs (-r) that follow would do; touch nothing\n"
           "  --verbose print each step of the run, and why it failed, on standard error\n"
           "            (also when MERVO_DEBUG=1 is set)\n"
           "  --help    show this text                   --version  show the version\n"
           "\n"
           "A JOB.app argument loads a saved batch file; a quoted wildcard adds every PDF it\n"
           "matches. Every output written is recorded in append.log in the current folder.\n"
           "\n"
           "Example: take pages 6-7 and 9-10 of in.pdf into a new out.pdf, then exit:\n"
           "  mervo -c -p6-7,9-10 -oout.pdf in.pdf -r -q\n"
           "\n"
           "Exit codes:\n"
           "  0  everything the command line asked for was done\n"
           "  1  closed while a file was processing (a run that failed inside a row)\n"
           "  2  bad command line\n"
           "  3  not everything was done: a batch file or line not read, a selected row\n"
           "     left out, a page selection refused, a missing source, a failure or stop,\n"
           "     a move, filler or log record that failed\n"
           "When not everything was done, the last line on standard error says what:\n"
           "  mervo: not everything was done: ...\n"
           "\n"
           "--dry-run prints the plan on standard output, one line each, in run order:\n"
           "  output create|append OUTPUT   a row's output is written (new or added to)\n"
           "  pages SOURCE:FIRST-LAST       pages the output receives (fillers too)\n"
           "  keep-bookmarks SOURCE:RUN     the source's own bookmarks come with them\n"
           "  bookmark PAGE TITLE           a file-name bookmark at that output page\n"
           "  total PAGES OUTPUT            the output's page count once saved\n"
           "  log OUTPUT                    the record append.log receives\n"
           "  move SOURCE -> TARGET         the source moved after its row\n"
           "  message CAPTION: TEXT         a message the run would give\n"
           "  not-done TEXT                 a row left out, or other work not done\n"
           "  exit CODE                     the exit code the real run would give\n"
           "The exit code and the closing line are those of the real run.\n";
}

} // namespace fb

#pragma once
// Every test program ends itself when one test runs for more than a minute (a wait that
// never ends), naming the test. A test that really needs longer says so when it starts.
namespace commontest {

void AllowTestSeconds(int seconds);

} // namespace commontest

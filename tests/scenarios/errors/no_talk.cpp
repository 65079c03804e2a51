extern "C" void notTalk() {}

// The plug-in module the system tests load: two exported procedures.
extern "C" {

__attribute__((visibility("default"))) int CvqPluginTwiceAndOne(int value) {
    return value * 2 + 1;
}

__attribute__((visibility("default"))) const char* CvqPluginName() {
    return "test plug-in";
}

}  // extern "C"

#include "front/runsequence.hpp"

int main(int argc, char** argv) {
    return RepositoryAccess::run(argc, argv);
}

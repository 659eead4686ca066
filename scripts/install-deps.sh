#!/usr/bin/env bash
# Installs what building, running and testing the displayer need (Debian, as root).
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends \
    cmake make g++ flex libfltk1.3-dev libgtest-dev libgmock-dev \
    xvfb xauth xdotool x11-utils fonts-dejavu-core \
    libxml2-utils libxml2-dev clang libclang-rt-14-dev m4 >/dev/null

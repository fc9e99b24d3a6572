# The gridcast worker image for scale-out runs (docs/scale-out.md): built from this repository on
# Debian 12, holding only gridcast and the libraries it links (Nettle, Expat), run as a user
# without privileges. No display libraries, no office suite.
#   docker build -t quillane/gridcast:0.1.0 .
#   podman build --isolation=chroot -t quillane/gridcast:0.1.0 .
# The build compiles gridcast alone (no tests, no window) through ccache, whose cache is kept
# between builds in a build cache mount (BuildKit: Docker 23 or later, or podman), so a rebuild
# after a small change is quick.
FROM debian:12 AS build
RUN apt-get update -q && apt-get install -y -q --no-install-recommends \
      g++ cmake ninja-build pkg-config ccache nettle-dev libexpat1-dev \
 && rm -rf /var/lib/apt/lists/* /var/cache/apt/*.bin
WORKDIR /src
COPY . .
RUN --mount=type=cache,target=/root/.cache/ccache \
    cmake -S . -B /build -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLANE_WITH_QT=OFF \
      -DQUILLANE_TESTS=OFF -DQUILLANE_BENCH=OFF -DCMAKE_CXX_COMPILER_LAUNCHER=ccache \
 && cmake --build /build --target gridcast \
 && strip /build/app/gridcast

FROM debian:12-slim
RUN apt-get update -q && apt-get install -y -q --no-install-recommends libnettle8 libexpat1 \
 && rm -rf /var/lib/apt/lists/* /var/cache/apt/*.bin \
 && useradd --create-home --uid 10001 gridcast
COPY --from=build /build/app/gridcast /usr/bin/gridcast
USER gridcast
WORKDIR /data
ENTRYPOINT ["/usr/bin/gridcast"]
CMD ["--help"]

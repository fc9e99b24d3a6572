# The gridcast worker image for scale-out runs (docs/scale-out.md): built from this repository on
# Debian 12, holding only gridcast and the libraries it links. No display, no office suite.
#   docker build -t quillane/gridcast:0.1.0 .
FROM debian:12 AS build
RUN apt-get update -q && apt-get install -y -q --no-install-recommends \
      g++ cmake ninja-build pkg-config nettle-dev libexpat1-dev && rm -rf /var/lib/apt/lists/*
WORKDIR /src
COPY . .
RUN cmake -S . -B /build -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLANE_WITH_QT=OFF \
      -DQUILLANE_TESTS=OFF -DQUILLANE_BENCH=OFF \
 && cmake --build /build --target gridcast \
 && strip /build/app/gridcast

FROM debian:12-slim
RUN apt-get update -q && apt-get install -y -q --no-install-recommends libnettle8 libexpat1 \
 && rm -rf /var/lib/apt/lists/* && useradd --create-home --uid 10001 gridcast
COPY --from=build /build/app/gridcast /usr/bin/gridcast
USER gridcast
WORKDIR /data
ENTRYPOINT ["/usr/bin/gridcast"]
CMD ["--help"]

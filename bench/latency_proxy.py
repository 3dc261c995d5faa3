"""A TCP proxy on loopback that delays every byte by a fixed time in each direction, so a
benchmark can see what a check costs over a real network's round trips.

It listens on 127.0.0.1 and a free port and forwards to 127.0.0.1:target_port. Each chunk it
reads is written to the other side `delay` seconds after it arrived, in order; chunks do not
wait for each other's delay, so the link has latency but no bandwidth limit of its own. What a
direction holds in its queue is bounded, and the proxy's thread ends when the object is closed.
"""
import asyncio
import threading
import time

QUEUED_CHUNKS = 1024  # per direction; the reader waits when the queue is full


class LatencyProxy:
    def __init__(self, target_port, delay=0.005):
        self.target_port = target_port
        self.delay = delay
        self.port = 0
        self._loop = asyncio.new_event_loop()
        self._ready = threading.Event()
        self._thread = threading.Thread(target=self._run, daemon=True)

    def __enter__(self):
        self._thread.start()
        if not self._ready.wait(10):
            raise RuntimeError("latency proxy did not start")
        return self

    def __exit__(self, *exc):
        self._loop.call_soon_threadsafe(self._stop.set)
        self._thread.join(10)

    def _run(self):
        self._loop.run_until_complete(self._main())
        self._loop.close()

    async def _main(self):
        self._stop = asyncio.Event()
        server = await asyncio.start_server(self._serve, "127.0.0.1", 0)
        self.port = server.sockets[0].getsockname()[1]
        self._ready.set()
        await self._stop.wait()
        server.close()
        others = [t for t in asyncio.all_tasks() if t is not asyncio.current_task()]
        for task in others:
            task.cancel()
        await asyncio.gather(*others, return_exceptions=True)

    async def _serve(self, client_reader, client_writer):
        try:
            server_reader, server_writer = await asyncio.open_connection(
                "127.0.0.1", self.target_port)
        except OSError:
            client_writer.close()
            return
        try:
            await asyncio.gather(self._pipe(client_reader, server_writer),
                                 self._pipe(server_reader, client_writer))
        except asyncio.CancelledError:
            pass  # the proxy is closing

    async def _pipe(self, reader, writer):
        queue = asyncio.Queue(QUEUED_CHUNKS)

        async def deliver():
            while True:
                due, data = await queue.get()
                if data is None:
                    break
                wait = due - time.monotonic()
                if wait > 0:
                    await asyncio.sleep(wait)
                writer.write(data)
                await writer.drain()
            writer.close()

        sender = asyncio.ensure_future(deliver())
        try:
            while True:
                data = await reader.read(65536)
                if not data:
                    break
                await queue.put((time.monotonic() + self.delay, data))
        except OSError:
            pass
        await queue.put((0, None))
        try:
            await sender
        except OSError:
            pass

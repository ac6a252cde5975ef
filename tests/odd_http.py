#!/usr/bin/env python3
"""A file server that answers as a hostile or misconfigured one may (loopback, stops by itself):

    tests/odd_http.py        prints its port
    /redirect.pdf  302 to another address
    /endless.pdf   200 with a PDF header and then bytes without end (64 MiB at most, no length)
"""
import http.server
import socketserver


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = 'HTTP/1.0'

    def do_GET(self):
        if self.path.endswith('/redirect.pdf'):
            self.send_response(302)
            self.send_header('Location', '/elsewhere.pdf')
            self.end_headers()
            self.wfile.write(b'moved')
            return
        if self.path.endswith('/endless.pdf'):
            self.send_response(200)
            self.send_header('Content-Type', 'application/pdf')
            self.end_headers()
            try:
                self.wfile.write(b'%PDF-1.4\n')
                chunk = b'0' * 65536
                for _ in range(1024):
                    self.wfile.write(chunk)
            except (BrokenPipeError, ConnectionResetError):
                pass
            return
        self.send_error(404)

    def log_message(self, *args):
        pass


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True


server = Server(('127.0.0.1', 0), Handler)
print(server.server_address[1], flush=True)
server.serve_forever()
